// SPDX-License-Identifier: MIT
// Reading the link check's history, link-health.json, at 1x, 8x and 64x its size, in two shapes:
// as the check writes it (2 000 addresses at 1x), and with 100 000 small objects of no meaning
// under its top (what a tree parser with a callback rescans after every one). Beside the
// streaming reader, the tree-with-callback reader the check used before (each address also
// taken to its identity, as the check does); in the wide shape at 10 000 and 20 000 keys only,
// as its time grows with the square of the size. The goal: 8 times the file within 10 times the time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench_support.h"
#include "address/address_identity.h"
#include "check/link_health.h"

using namespace trevanto::bench;
using trevanto::check::LinkHistory;
using trevanto::check::LinkState;

namespace {

std::string writtenHistory(int links) {
  LinkHistory history;
  history.checkStarted = 1'800'000'000;
  for (int i = 0; i < links; ++i) {
    auto& record = history.links["https://host" + std::to_string(i % 97) + ".example/page/" + std::to_string(i)];
    const bool failing = i % 5 == 0;
    trevanto::check::recordOutcome(record, {failing ? LinkState::Failing : LinkState::Ok, failing ? "HTTP 404" : ""},
                                   1'800'000'000 + i);
  }
  return trevanto::check::historyJson(history);
}

std::string wideHistory(int keys) {
  std::string text = "{\"format\":1,\"links\":{}";
  for (int i = 0; i < keys; ++i) text += ",\"k" + std::to_string(i) + "\":{}";
  return text + "}";
}

// The reader as the check had it: nlohmann's tree parser with a callback that drops each entry.
std::size_t readWithTreeCallback(const std::string& text) {
  using nlohmann::json;
  std::string key;
  std::unordered_set<std::string> kept;
  const json::parser_callback_t takeEntry = [&](int depth, json::parse_event_t event, json& parsed) {
    if (depth != 2) return true;
    if (event == json::parse_event_t::key) {
      key = parsed.get<std::string>();
    } else if (event == json::parse_event_t::object_end) {
      (void)parsed.value("state", std::string());
      kept.insert(trevanto::address::addressIdentity(key));
      return false;
    }
    return true;
  };
  const json root = json::parse(text, takeEntry);
  return kept.size() + root.size();
}

std::size_t readStreaming(const std::string& text) {
  std::istringstream in(text);
  return trevanto::check::readHistory(in, "link-health.json").links.size();
}

struct Row {
  std::string shape, reader;
  long count = 0;
  std::size_t bytes = 0;
  std::vector<double> seconds;
};
std::map<std::string, Row> rows;

// state.range(0): the addresses (written shape) or keys (wide shape) of the file.
void measure(benchmark::State& state, const std::string& shape, const std::string& reader) {
  const long count = state.range(0);
  static std::map<std::string, std::string> texts;
  const std::string key = shape + std::to_string(count);
  if (!texts.contains(key)) {
    texts[key] = shape == "written" ? writtenHistory(static_cast<int>(count)) : wideHistory(static_cast<int>(count));
  }
  const std::string& text = texts[key];
  char order[32];
  std::snprintf(order, sizeof order, "%012ld", count);
  Row& row = rows[shape + " " + reader + " " + order];
  if (row.seconds.empty()) row = {shape, reader, count, text.size(), {}};
  for (auto _ : state) {
    const auto start = Clock::now();
    const std::size_t read = reader == "streaming" ? readStreaming(text) : readWithTreeCallback(text);
    benchmark::DoNotOptimize(read);
    const double seconds = secondsSince(start);
    state.SetIterationTime(seconds);
    row.seconds.push_back(seconds);
  }
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_HistoryStreaming_Written(benchmark::State& state) { measure(state, "written", "streaming"); }
void BM_HistoryTreeCallback_Written(benchmark::State& state) { measure(state, "written", "tree+callback"); }
void BM_HistoryStreaming_Wide(benchmark::State& state) { measure(state, "wide", "streaming"); }
void BM_HistoryTreeCallback_Wide(benchmark::State& state) { measure(state, "wide", "tree+callback"); }

constexpr long kWritten = 2'000;
constexpr long kWide = 100'000;
constexpr long kWideForTheTree = 10'000;

BENCHMARK(BM_HistoryStreaming_Written)->Arg(kWritten)->Arg(8 * kWritten)->Arg(64 * kWritten)->Iterations(1)
    ->Repetitions(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryTreeCallback_Written)->Arg(kWritten)->Arg(8 * kWritten)->Arg(64 * kWritten)->Iterations(1)
    ->Repetitions(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryStreaming_Wide)->Arg(kWide)->Arg(8 * kWide)->Arg(64 * kWide)->Iterations(1)->Repetitions(3)
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryTreeCallback_Wide)->Arg(kWideForTheTree)->Arg(2 * kWideForTheTree)->Iterations(1)
    ->Repetitions(3)->UseManualTime()->Unit(benchmark::kMillisecond);

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::printf("\nReading link-health.json (median of 3; 8x the file should take at most 10x the time):\n");
  std::map<std::string, const Row*> smallest;
  for (const auto& [key, row] : rows) {
    const double seconds = median(row.seconds);
    const Row*& first = smallest[row.shape + " " + row.reader];
    if (first == nullptr) first = &row;
    const double sizeRatio = static_cast<double>(row.bytes) / static_cast<double>(first->bytes);
    const double firstSeconds = median(first->seconds);
    std::printf("  %-8s %-14s %9ld %s %10.1f KB: %9.3f s  (%.1fx the size, %.1fx the time of the smallest)\n",
                row.shape.c_str(), row.reader.c_str(), row.count, row.shape == "written" ? "addresses" : "keys     ",
                static_cast<double>(row.bytes) / 1e3, seconds, sizeRatio, firstSeconds > 0 ? seconds / firstSeconds : 0);
  }
  benchmark::Shutdown();
  return 0;
}

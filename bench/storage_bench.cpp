// SPDX-License-Identifier: MIT
// Runs where reading is slow, each beside its limit: the same reads with 16 in flight, under
// the same conditions. Latency: each open of a shortcut waits 0.5 ms, as over a network share
// (slow_open_shim, preloaded into a child process that measures both). Cold cache: the page
// cache is dropped before each step, which needs root.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "base/read_ahead.h"
#include "bench_support.h"

namespace trevanto::bench {
namespace {

constexpr int kLimitReaders = 16;
constexpr int kSlowOpenMicros = 500;
constexpr int kSections = 200;
constexpr int kPerSection = 100;
constexpr const char* kDropCaches = "/proc/sys/vm/drop_caches";

bool canDropCaches() { return ::geteuid() == 0 && ::access(kDropCaches, W_OK) == 0; }

void dropCaches() {
  ::sync();
  std::ofstream drop(kDropCaches);
  drop << "3\n";
  drop.close();
  if (!drop) {
    std::fprintf(stderr, "cannot write %s\n", kDropCaches);
    std::abort();
  }
}

std::string quoted(const fs::path& path) {
  std::string text = "'";
  text += path.string();
  text += '\'';
  return text;
}

// The child's figures, or nothing when it failed.
std::optional<Figures> measureInChild(const std::string& environment, const std::string& kind) {
  const Collection& c = collection(kSections, kPerSection);
  const fs::path pages = workRoot() / "storage-pages";
  if (!fs::exists(pages)) {
    freshFolder(pages);
    convert(c.source, pages);
  }
  const fs::path work = workRoot() / "storage-work";
  fs::create_directories(work);
  const std::string command = environment + " " + quoted(fs::canonical("/proc/self/exe")) + " " +
                              std::string(kMeasureAgainstLimitMode) + " " + quoted(c.source) + " " + quoted(pages) +
                              " " + quoted(work) + " " + kind;
  FILE* child = ::popen(command.c_str(), "r");
  if (child == nullptr) return std::nullopt;
  Figures f;
  f.shortcuts = c.count;
  const int read = std::fscanf(child, "%lf %lf %lf %lf", &f.firstRun, &f.firstFloor, &f.reRun, &f.reFloor);
  if (::pclose(child) != 0 || read != 4) return std::nullopt;
  return f;
}

void measureCase(benchmark::State& state, const std::string& name, const std::string& environment,
                 const std::string& kind) {
  Figures sum;
  for (auto _ : state) {
    const std::optional<Figures> f = measureInChild(environment, kind);
    if (!f) {
      state.SkipWithError("the measuring child process failed");
      return;
    }
    sum.firstRun += f->firstRun, sum.firstFloor += f->firstFloor, sum.reRun += f->reRun, sum.reFloor += f->reFloor;
    sum.shortcuts = f->shortcuts;
    state.SetIterationTime(f->firstRun);
  }
  const auto n = static_cast<double>(state.iterations());
  sum.firstRun /= n, sum.firstFloor /= n, sum.reRun /= n, sum.reFloor /= n;
  state.counters["first_vs_limit"] = sum.firstRun / sum.firstFloor;
  state.counters["rerun_vs_limit"] = sum.reRun / sum.reFloor;
  state.counters["rerun_ms"] = sum.reRun * 1e3;
  figures()[name] = sum;
}

void BM_SlowOpens(benchmark::State& state) {
  const std::string environment = "LD_PRELOAD=" + quoted(TREVANTO_SLOW_OPEN_SHIM) +
                                  " TREVANTO_SLOW_FOLDER=" + quoted(collection(kSections, kPerSection).source) +
                                  " TREVANTO_SLOW_OPEN_US=" + std::to_string(kSlowOpenMicros);
  measureCase(state, "latency", environment, "latency");
}
BENCHMARK(BM_SlowOpens)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ColdCache(benchmark::State& state) {
  if (!canDropCaches()) {
    state.SkipWithError("skipped: dropping the page cache needs root and a writable /proc/sys/vm/drop_caches");
    for (auto _ : state) {
    }
    return;
  }
  measureCase(state, "cold", "", "cold");
}
BENCHMARK(BM_ColdCache)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void printRow(const char* name, const char* limit, const Figures* f, double firstGoal, double reGoal) {
  if (f == nullptr) {
    std::printf("  %-26s not measured%s\n", name,
                std::string_view(name).starts_with("cold") && !canDropCaches()
                    ? " (needs root and a writable /proc/sys/vm/drop_caches)"
                    : "");
    return;
  }
  char reGoalText[16] = "";
  if (reGoal > 0) std::snprintf(reGoalText, sizeof reGoalText, "(<= %.1f)", reGoal);
  std::printf("  %-26s %9.1f %9.1f %5.2f (<= %.1f)  %9.1f %9.1f %5.2f %-9s  %s\n", name, f->firstRun * 1e3,
              f->firstFloor * 1e3, f->firstRun / f->firstFloor, firstGoal, f->reRun * 1e3, f->reFloor * 1e3,
              f->reRun / f->reFloor, reGoalText, limit);
}

}  // namespace

int measureAgainstLimit(int argc, char** argv) {
  if (argc != 6 && argc != 8) return 2;
  if (argc == 8) {  // by hand, to try other settings: reads in flight and window
    trevanto::base::runReadAheadOptions().readsInFlight = std::stoul(argv[6]);
    trevanto::base::runReadAheadOptions().window = std::stoul(argv[7]);
  }
  const fs::path source = argv[2];
  const fs::path work = argv[4];
  const bool cold = std::string_view(argv[5]) == "cold";
  std::vector<fs::path> shortcuts;
  for (const auto& section : fs::directory_iterator(source)) {
    for (const auto& file : fs::directory_iterator(section.path())) shortcuts.push_back(file.path());
  }
  const Pages pages = pagesOf(argv[3]);
  const fs::path site = work / "site";
  const auto prepare = [cold] {
    if (cold) dropCaches();
  };

  prepare();
  const double firstLimit = firstRunFloor(shortcuts, pages, work / "floor-site", kLimitReaders);
  freshFolder(site);
  prepare();
  auto start = Clock::now();
  convert(source, site);
  const double firstRun = secondsSince(start);
  prepare();
  const double reLimit = reRunFloor(shortcuts, pages, site, kLimitReaders);
  prepare();
  start = Clock::now();
  convert(source, site);
  const double reRun = secondsSince(start);
  std::printf("%.6f %.6f %.6f %.6f\n", firstRun, firstLimit, reRun, reLimit);
  return 0;
}

void printStorageSummary() {
  auto& measured = figures();
  const auto find = [&measured](const std::string& name) {
    const auto found = measured.find(name);
    return found == measured.end() ? nullptr : &found->second;
  };
  std::printf("\nSummary (goals in brackets); 20 000 shortcuts in 200 sections, times in ms\n");
  std::printf("  %-26s %9s %9s %14s  %9s %9s %15s  %s\n", "", "first run", "limit", "ratio", "re-run", "limit", "ratio",
              "limit is");
  printRow("latency, 0.5 ms per open", "16 reads in flight, same delay", find("latency"), 1.5, 1.5);
  printRow("cold cache", "16 reads in flight, cache dropped too", find("cold"), 1.3, 0);
  printRow("warm cache", "one reader", find("200x100"), 1.3, 1.2);
}

}  // namespace trevanto::bench

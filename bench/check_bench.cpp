// SPDX-License-Identifier: MIT
// What a link check costs against its politeness limit: 10 000 links on 50 host names (resolved to
// 127.0.0.1 by the check's resolve table) of a server that answers each request after 50 ms. At
// most 2 requests per host and at most N at a time, no check can be faster than
// links x 50 ms / min(N, 2 x hosts); the check is measured against that, with the usual 32 at a
// time and with 100, where 2 per host over 50 hosts is the bound. Then the peak memory of a check
// of 100 000 links, in a process of its own.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
#include "check/check_run.h"
#include "support/files.h"
#include "support/link_server.h"

using namespace trevanto::bench;
using namespace std::chrono_literals;
using trevanto::testing::writeFile;

namespace {

constexpr int kHosts = 50;
constexpr auto kAnswerDelay = 50ms;

std::string hostName(int host) { return "host" + std::to_string(host) + ".test"; }

// A site of `links` links in sections of 1 000, spread over the hosts in turn.
fs::path siteOf(int links, std::uint16_t port) {
  const fs::path site = workRoot() / ("check-site-" + std::to_string(links));
  freshFolder(site);
  std::string menu;
  for (int first = 0, section = 0; first < links; first += 1000, ++section) {
    const std::string name = "section" + std::to_string(section);
    menu += "<a href=\"" + name + ".html\"target=Frame3>" + name + "</a><br />\r\n";
    std::string page;
    for (int i = first; i < std::min(links, first + 1000); ++i) {
      page += "<a href=\"http://" + hostName(i % kHosts) + ":" + std::to_string(port) + "/link/" + std::to_string(i) +
              "\" target=index>link " + std::to_string(i) + "</a><br>\r\n";
    }
    writeFile(site / (name + ".html"), page);
  }
  writeFile(site / "Frame2.html", menu);
  return site;
}

trevanto::check::CheckRequest requestFor(const fs::path& site, std::uint16_t port, std::size_t inFlight) {
  trevanto::check::CheckRequest request;
  request.siteFolder = site;
  request.settings.maxInFlight = inFlight;
  for (int host = 0; host < kHosts; ++host) {
    request.settings.resolve.push_back(hostName(host) + ":" + std::to_string(port) + ":127.0.0.1");
  }
  return request;
}

void removeHistory(const fs::path& site) { fs::remove_all(site / "export"); }

struct TimeFigures {
  std::vector<double> seconds;
  double limit = 0;
};
std::map<std::size_t, TimeFigures> timeFigures;

void BM_CheckAgainstPolitenessLimit(benchmark::State& state) {
  const int links = static_cast<int>(state.range(0));
  const auto inFlight = static_cast<std::size_t>(state.range(1));
  static trevanto::test::LinkServer server(kAnswerDelay);
  const fs::path site = siteOf(links, server.port());
  const std::size_t atOnce = std::min<std::size_t>(inFlight, 2 * kHosts);
  const double limit = links * std::chrono::duration<double>(kAnswerDelay).count() / static_cast<double>(atOnce);
  TimeFigures& figures = timeFigures[inFlight];
  figures.limit = limit;
  for (auto _ : state) {
    removeHistory(site);
    const auto start = Clock::now();
    const auto report = trevanto::check::runCheck(requestFor(site, server.port(), inFlight));
    const double seconds = secondsSince(start);
    if (report.failed() || !report.completed || report.counts.alive != static_cast<std::size_t>(links)) {
      std::cerr << "check failed: " << report.error << " alive " << report.counts.alive << "\n";
      std::abort();
    }
    state.SetIterationTime(seconds);
    figures.seconds.push_back(seconds);
  }
  state.counters["limit_s"] = limit;
}

std::string statusValue(const char* key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(key)) return line;
  }
  return {};
}

long kibibytesOf(const std::string& line) {
  long value = 0;
  std::sscanf(line.c_str(), "%*s %ld", &value);
  return value;
}

struct MemoryFigures {
  long baselineKiB = 0, peakKiB = 0;
  double seconds = 0;
  int links = 0;
};
std::vector<MemoryFigures> memoryFigures;

// The check in a child process, whose peak resident size is set back to what it holds at the start.
void BM_CheckMemory(benchmark::State& state) {
  const int links = static_cast<int>(state.range(0));
  static trevanto::test::LinkServer server(0ms);
  const fs::path site = siteOf(links, server.port());
  for (auto _ : state) {
    removeHistory(site);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) std::abort();
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
      std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
      const long baseline = kibibytesOf(statusValue("VmRSS:"));
      const auto report = trevanto::check::runCheck(requestFor(site, server.port(), 32));
      const long peak = kibibytesOf(statusValue("VmHWM:"));
      const long figures[2] = {baseline, report.completed ? peak : -1};
      (void)!::write(pipeFds[1], figures, sizeof figures);
      ::_exit(0);
    }
    ::close(pipeFds[1]);
    long figures[2] = {0, -1};
    (void)!::read(pipeFds[0], figures, sizeof figures);
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    const double seconds = secondsSince(start);
    if (figures[1] < 0) std::abort();
    state.SetIterationTime(seconds);
    memoryFigures.push_back({figures[0], figures[1], seconds, links});
    state.counters["peak_MiB"] = static_cast<double>(figures[1]) / 1024.0;
    state.counters["growth_MiB"] = static_cast<double>(figures[1] - figures[0]) / 1024.0;
  }
}

BENCHMARK(BM_CheckAgainstPolitenessLimit)
    ->Args({10'000, 32})
    ->Args({10'000, 100})
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_CheckMemory)->Arg(10'000)->Arg(100'000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::printf("\nLink check, 10 000 links on %d hosts answering after %lld ms (median of %s):\n", kHosts,
              static_cast<long long>(kAnswerDelay.count()), "3");
  for (const auto& [inFlight, figures] : timeFigures) {
    const double seconds = median(figures.seconds);
    std::printf("  at most %zu at a time, 2 per host: %.2f s, limit %.2f s, %.2fx the limit (goal: at most 1.2x)\n",
                inFlight, seconds, figures.limit, seconds / figures.limit);
  }
  for (const MemoryFigures& figures : memoryFigures) {
    std::printf("  %d links, answers at once: %.1f s, peak resident %.1f MiB (%.1f MiB above the start)\n",
                figures.links, figures.seconds, static_cast<double>(figures.peakKiB) / 1024.0,
                static_cast<double>(figures.peakKiB - figures.baselineKiB) / 1024.0);
  }
  benchmark::Shutdown();
  return 0;
}

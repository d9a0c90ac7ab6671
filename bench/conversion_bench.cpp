// SPDX-License-Identifier: MIT
// Conversion of generated collections, each measured beside its floor: a first run cannot be
// faster than reading every shortcut once and writing every page byte once; a re-run cannot
// be faster than reading every shortcut and every page once.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/posix/file_descriptor.h"
#include "bench_support.h"
#include "site/run_sync.h"

namespace trevanto::bench {
namespace {

void BM_Collection(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  const int perSection = static_cast<int>(state.range(1));
  const Collection& c = collection(sections, perSection);
  const fs::path site = workRoot() / "site";
  const fs::path floorSite = workRoot() / "floor-site";

  // The pages a first run writes, to write them again as the floor does.
  freshFolder(site);
  convert(c.source, site);
  const Pages pages = pagesOf(site);

  Figures f;
  f.shortcuts = c.count;
  for (auto _ : state) {
    const double firstFloor = firstRunFloor(c.shortcuts, pages, floorSite, 1);

    // The same first run without the sync at its end, then that sync alone, right after it: the
    // pages it wrote and the site folder, as the run syncs them.
    freshFolder(site);
    site::RunRequest unsynced(c.source, site, programFolder());
    unsynced.syncAtEnd = false;
    auto start = Clock::now();
    if (site::runConversion(unsynced).failed()) std::abort();
    const double firstRunWithoutSync = secondsSince(start);
    site::WrittenFiles written;
    for (const auto& entry : fs::directory_iterator(site)) {
      if (entry.is_regular_file()) written.addFile(entry.path());
    }
    written.addFolder(site);
    start = Clock::now();
    written.sync();
    const double finalSync = secondsSince(start);

    freshFolder(site);
    start = Clock::now();
    convert(c.source, site);
    const double firstRun = secondsSince(start);

    const double reFloor = reRunFloor(c.shortcuts, pages, site, 1);

    start = Clock::now();
    const auto report = convert(c.source, site);
    const double reRun = secondsSince(start);
    if (report.RepeatCount != c.count) std::abort();

    f.firstRun += firstRun, f.firstFloor += firstFloor, f.reRun += reRun, f.reFloor += reFloor;
    f.firstRunWithoutSync += firstRunWithoutSync;
    f.finalSync += finalSync;
    state.SetIterationTime(firstRun);
  }
  const auto n = static_cast<double>(state.iterations());
  f.firstRun /= n, f.firstFloor /= n, f.reRun /= n, f.reFloor /= n, f.firstRunWithoutSync /= n, f.finalSync /= n;
  state.counters["first_vs_floor"] = f.firstRun / f.firstFloor;
  state.counters["rerun_vs_floor"] = f.reRun / f.reFloor;
  state.counters["rerun_ms"] = f.reRun * 1e3;
  state.counters["us_per_shortcut"] = f.firstRun / c.count * 1e6;
  figures()[std::to_string(sections) + "x" + std::to_string(perSection)] = f;
}
BENCHMARK(BM_Collection)
    ->Args({200, 100})
    ->Args({1, 10000})
    ->Args({1, 100000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The high-water mark of this process's resident memory, from the kernel.
double ownPeakMemoryMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stod(line.substr(6)) / 1024.0;
  }
  return -1;
}

constexpr std::string_view kPeakMemoryMode = "--convert-and-report-peak-memory";

// Peak memory of a run over one section of 100 000 shortcuts, measured in a process of its
// own (a child's rusage would count the memory of this one).
double peakMemoryMiB(const Collection& c) {
  const fs::path site = workRoot() / "memory-site";
  freshFolder(site);
  const std::string command = fs::canonical("/proc/self/exe").string() + " " + std::string(kPeakMemoryMode) + " '" +
                              c.source.string() + "' '" + site.string() + "'";
  FILE* child = ::popen(command.c_str(), "r");
  if (child == nullptr) return -1;
  char line[64] = {};
  const bool read = std::fgets(line, sizeof line, child) != nullptr;
  return (::pclose(child) == 0 && read) ? std::atof(line) : -1;
}

// What one fsync of a small new file costs in the work folder: the menu page and a replaced
// template are each synced once before they take their name.
double fsyncMicroseconds() {
  constexpr int kFiles = 200;
  const fs::path folder = workRoot() / "fsync";
  const auto writeFiles = [&folder](bool sync) {
    freshFolder(folder);
    const auto start = Clock::now();
    for (int i = 0; i < kFiles; ++i) {
      const base::FileDescriptor fd(
          ::open((folder / std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (!fd || base::writeAll(fd.get(), "<body>\r\n") != 0 || (sync && ::fsync(fd.get()) != 0)) std::abort();
    }
    return secondsSince(start);
  };
  const double plain = writeFiles(false);
  const double synced = writeFiles(true);
  return (synced - plain) / kFiles * 1e6;
}

void printSummary() {
  auto& measured = figures();
  printStorageSummary();
  // A first run syncs the menu and the three templates; a sync for each of its 200 new
  // section pages as well would cost what the second figure says.
  const double fsyncUs = fsyncMicroseconds();
  std::printf(
      "  one fsync of a new small file here: %.0f us; the 4 a first run makes: %.1f ms; 200 more, one per\n"
      "  new section page of the 200-section first run, would add %.1f ms\n",
      fsyncUs, fsyncUs * 4 / 1e3, fsyncUs * 200 / 1e3);
  if (measured.contains("200x100")) {
    const auto& wide = measured["200x100"];
    std::printf("  20 000 shortcuts in 200 sections, unchanged re-run: %.1f ms, floor (every shortcut and page read\n"
                "  once) %.1f ms, ratio %.2f (<= 1.1)\n",
                wide.reRun * 1e3, wide.reFloor * 1e3, wide.reRun / wide.reFloor);
    std::printf("  20 000 shortcuts in 200 sections, first run without the sync at its end %.1f ms; that sync alone,\n"
                "  right after it (201 pages and the folder): %.1f ms, %.1f%% of the run (< 10%%); first run with it %.1f ms\n",
                wide.firstRunWithoutSync * 1e3, wide.finalSync * 1e3, wide.finalSync / wide.firstRunWithoutSync * 100,
                wide.firstRun * 1e3);
  }
  if (!measured.contains("1x10000") || !measured.contains("1x100000")) return;
  const auto& small = measured["1x10000"];
  const auto& large = measured["1x100000"];
  std::printf("  one section of 100 000, first run: %.1f ms, floor %.1f ms, ratio %.2f\n", large.firstRun * 1e3,
              large.firstFloor * 1e3, large.firstRun / large.firstFloor);
  std::printf("  one section of 100 000, re-run:    %.1f ms, floor %.1f ms, ratio %.2f\n", large.reRun * 1e3,
              large.reFloor * 1e3, large.reRun / large.reFloor);
  const double firstGrowth = (large.firstRun / large.shortcuts) / (small.firstRun / small.shortcuts);
  const double reGrowth = (large.reRun / large.shortcuts) / (small.reRun / small.shortcuts);
  std::printf("  time per shortcut at 100 000 against 10 000: first run %.2f, re-run %.2f (<= 1.3)\n", firstGrowth,
              reGrowth);
  std::printf("  peak memory of a run over 100 000 shortcuts: %.1f MiB (< 64)\n", peakMemoryMiB(collection(1, 100000)));
}

}  // namespace
}  // namespace trevanto::bench

int main(int argc, char** argv) {
  using namespace trevanto::bench;
  if (argc == 4 && argv[1] == kPeakMemoryMode) {
    trevanto::site::RunRequest request(argv[2], argv[3], programFolder());
    if (trevanto::site::runConversion(request).failed()) return 1;
    std::printf("%.1f\n", ownPeakMemoryMiB());
    return 0;
  }
  if (argc >= 2 && argv[1] == kMeasureAgainstLimitMode) return measureAgainstLimit(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  printSummary();
  benchmark::Shutdown();
  return 0;
}

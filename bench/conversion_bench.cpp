// SPDX-License-Identifier: MIT
// Conversion of generated collections, each measured beside its floor: a first run cannot be
// faster than reading every shortcut once and writing every page byte once; a re-run cannot
// be faster than reading every shortcut and every page once.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "site/conversion.h"
#include "site/folder_order.h"
#include "support/files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

fs::path workRoot() {
  static const trevanto::testing::TempFolder root;
  return root.path();
}

fs::path programFolder() { return fs::canonical("/proc/self/exe").parent_path().parent_path() / "bin"; }

using trevanto::testing::readFile;
using trevanto::testing::writeFile;

// A collection of `sections` folders with `perSection` shortcuts each, as Explorer writes them.
struct Collection {
  fs::path source;
  std::vector<fs::path> shortcuts;
  int count = 0;
};

const Collection& collection(int sections, int perSection) {
  static std::map<std::pair<int, int>, Collection> made;
  auto& c = made[{sections, perSection}];
  if (!c.source.empty()) return c;
  c.source = workRoot() / ("source-" + std::to_string(sections) + "x" + std::to_string(perSection));
  for (int s = 0; s < sections; ++s) {
    const fs::path folder = c.source / ("Section " + std::to_string(s));
    fs::create_directories(folder);
    for (int i = 0; i < perSection; ++i) {
      const std::string id = std::to_string(s) + "-" + std::to_string(i);
      const fs::path file = folder / ("Bookmark number " + id + ".url");
      writeFile(file, "[DEFAULT]\r\nBASEURL=https://host" + id + ".example.com/articles/" + id +
                          "\r\n[InternetShortcut]\r\nURL=https://host" + id + ".example.com/articles/" + id +
                          "\r\nIDList=\r\nHotKey=0\r\nModified=C0D1E2F3A4B5DA01\r\nIconIndex=0\r\n");
      c.shortcuts.push_back(file);
    }
  }
  c.count = sections * perSection;
  return c;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void freshFolder(const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
}

trevanto::site::RunReport convert(const Collection& c, const fs::path& site) {
  trevanto::site::RunRequest request;
  request.sourceFolder = c.source;
  request.siteFolder = site;
  request.programFolder = programFolder();
  auto report = trevanto::site::runConversion(request);
  if (report.failed()) {
    std::cerr << report.error << "\n";
    std::abort();
  }
  return report;
}

// What one case measured, for the summary after all benchmarks.
struct Figures {
  double firstRun = 0, firstFloor = 0, reRun = 0, reFloor = 0;
  int shortcuts = 0;
};
std::map<std::string, Figures> figures;

void BM_Collection(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  const int perSection = static_cast<int>(state.range(1));
  const Collection& c = collection(sections, perSection);
  const fs::path site = workRoot() / "site";
  const fs::path floorSite = workRoot() / "floor-site";

  // The pages a first run writes, to write them again as the floor does.
  freshFolder(site);
  convert(c, site);
  std::vector<std::pair<fs::path, std::string>> pages;
  for (const auto& entry : fs::directory_iterator(site))
    pages.emplace_back(entry.path().filename(), readFile(entry.path()));

  Figures f;
  f.shortcuts = c.count;
  for (auto _ : state) {
    freshFolder(floorSite);
    auto start = Clock::now();
    for (const fs::path& file : c.shortcuts) benchmark::DoNotOptimize(readFile(file));
    for (const auto& [name, bytes] : pages) writeFile(floorSite / name, bytes);
    const double firstFloor = secondsSince(start);

    freshFolder(site);
    start = Clock::now();
    convert(c, site);
    const double firstRun = secondsSince(start);

    start = Clock::now();
    for (const fs::path& file : c.shortcuts) benchmark::DoNotOptimize(readFile(file));
    for (const auto& [name, bytes] : pages) benchmark::DoNotOptimize(readFile(site / name));
    const double reFloor = secondsSince(start);

    start = Clock::now();
    const auto report = convert(c, site);
    const double reRun = secondsSince(start);
    if (report.RepeatCount != c.count) std::abort();

    f.firstRun += firstRun, f.firstFloor += firstFloor, f.reRun += reRun, f.reFloor += reFloor;
    state.SetIterationTime(firstRun);
  }
  const auto n = static_cast<double>(state.iterations());
  f.firstRun /= n, f.firstFloor /= n, f.reRun /= n, f.reFloor /= n;
  state.counters["first_vs_floor"] = f.firstRun / f.firstFloor;
  state.counters["rerun_vs_floor"] = f.reRun / f.reFloor;
  state.counters["rerun_ms"] = f.reRun * 1e3;
  state.counters["us_per_shortcut"] = f.firstRun / c.count * 1e6;
  figures[std::to_string(sections) + "x" + std::to_string(perSection)] = f;
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

void printSummary() {
  const auto& wide = figures["200x100"];
  const auto& small = figures["1x10000"];
  const auto& large = figures["1x100000"];
  std::printf("\nSummary (goals in brackets)\n");
  std::printf("  20 000 shortcuts in 200 sections, first run: %.1f ms, floor %.1f ms, ratio %.2f (<= 2)\n",
              wide.firstRun * 1e3, wide.firstFloor * 1e3, wide.firstRun / wide.firstFloor);
  std::printf("  20 000 shortcuts in 200 sections, re-run:    %.1f ms, floor %.1f ms, ratio %.2f (<= 2)\n",
              wide.reRun * 1e3, wide.reFloor * 1e3, wide.reRun / wide.reFloor);
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

int main(int argc, char** argv) {
  if (argc == 4 && argv[1] == kPeakMemoryMode) {
    trevanto::site::RunRequest request;
    request.sourceFolder = argv[2];
    request.siteFolder = argv[3];
    request.programFolder = programFolder();
    if (trevanto::site::runConversion(request).failed()) return 1;
    std::printf("%.1f\n", ownPeakMemoryMiB());
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (figures.size() == 3) printSummary();
  benchmark::Shutdown();
  return 0;
}

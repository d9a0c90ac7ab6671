// SPDX-License-Identifier: MIT
// What export/bookmarks.html and export/search-data.js cost: first runs and re-runs with and
// without them, beside the floor of the conversion benchmark (a first run cannot be faster than
// reading every shortcut once and writing every page byte once; a re-run cannot be faster than
// reading every shortcut and every page once); and the export alone from 10 000 to 100 000 links.
// The pages that read the export are timed in Chromium by make check-browser.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>

#include "bench_support.h"
#include "site/conversion.h"
#include "site/export_stamp.h"
#include "site/site_export.h"
#include "support/files.h"

using namespace trevanto::bench;

namespace {

double timedRun(const Collection& c, const fs::path& site, bool writeExport) {
  trevanto::site::RunRequest request;
  request.sourceFolder = c.source;
  request.siteFolder = site;
  request.programFolder = programFolder();
  request.writeExport = writeExport;
  const auto start = Clock::now();
  const auto report = trevanto::site::runConversion(request);
  const double seconds = secondsSince(start);
  if (report.failed() || !report.exportProblem.empty()) {
    std::cerr << report.error << report.exportProblem << "\n";
    std::abort();
  }
  return seconds;
}

struct ExportFigures {
  double firstFloor = 0, firstWithout = 0, firstWith = 0;
  double reFloor = 0, reWithout = 0, reWith = 0;
  double exportAlone = 0;
  double unchangedCheck = 0;  // the export over a site unchanged since it was written: nothing written
  std::uintmax_t bookmarksBytes = 0, dataBytes = 0;
  int links = 0;
};
std::map<std::string, ExportFigures> exportFigures;

void BM_Export(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  const int perSection = static_cast<int>(state.range(1));
  const Collection& c = collection(sections, perSection);
  const fs::path without = workRoot() / "site-without";
  const fs::path with = workRoot() / "site-with";
  const fs::path floorSite = workRoot() / "floor-site";

  // The pages a first run writes, to write them again as the floor does.
  freshFolder(without);
  timedRun(c, without, false);
  const Pages pages = pagesOf(without);

  ExportFigures f;
  f.links = sections * perSection;
  for (auto _ : state) {
    f.firstFloor += firstRunFloor(c.shortcuts, pages, floorSite, 1);

    freshFolder(without);
    f.firstWithout += timedRun(c, without, false);
    freshFolder(with);
    f.firstWith += timedRun(c, with, true);

    f.reFloor += reRunFloor(c.shortcuts, pages, with, 1);

    f.reWithout += timedRun(c, without, false);
    f.reWith += timedRun(c, with, true);

    // Unchanged since the re-run wrote it, the export would be left alone: without its stamp it
    // is built again.
    fs::remove(with / "export" / std::string(trevanto::site::kExportStampName));
    const auto start = Clock::now();
    if (!trevanto::site::writeSiteExport(with, programFolder()).problem.empty()) std::abort();
    const double alone = secondsSince(start);
    f.exportAlone += alone;

    const auto checkStart = Clock::now();
    if (!trevanto::site::writeSiteExport(with, programFolder()).problem.empty()) std::abort();
    f.unchangedCheck += secondsSince(checkStart);
    state.SetIterationTime(alone);
  }
  const auto n = static_cast<double>(state.iterations());
  for (double* figure :
       {&f.firstFloor, &f.firstWithout, &f.firstWith, &f.reFloor, &f.reWithout, &f.reWith, &f.exportAlone,
        &f.unchangedCheck}) {
    *figure /= n;
  }
  f.bookmarksBytes = fs::file_size(with / "export" / std::string(trevanto::site::kBookmarksFileName));
  f.dataBytes = 0;  // the index, the parts and the index of runs
  for (const auto& entry : fs::directory_iterator(with / "export")) {
    if (entry.path().filename().string().starts_with("search-")) f.dataBytes += entry.file_size();
  }
  state.counters["first_with_vs_floor"] = f.firstWith / f.firstFloor;
  state.counters["rerun_with_vs_floor"] = f.reWith / f.reFloor;
  state.counters["us_per_link"] = f.exportAlone / f.links * 1e6;
  state.counters["unchanged_ms"] = f.unchangedCheck * 1e3;
  exportFigures[std::to_string(sections) + "x" + std::to_string(perSection)] = f;
}
BENCHMARK(BM_Export)
    ->Args({200, 100})
    ->Args({1, 10000})
    ->Args({1, 100000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void printRuns(const char* what, const ExportFigures& f) {
  std::printf("  %s, first run: floor %.1f ms; without the export %.1f ms (%.2f); with it %.1f ms (%.2f) (<= 2)\n",
              what, f.firstFloor * 1e3, f.firstWithout * 1e3, f.firstWithout / f.firstFloor, f.firstWith * 1e3,
              f.firstWith / f.firstFloor);
  std::printf("  %s, re-run:    floor %.1f ms; without the export %.1f ms (%.2f); with it %.1f ms (%.2f) (<= 2)\n",
              what, f.reFloor * 1e3, f.reWithout * 1e3, f.reWithout / f.reFloor, f.reWith * 1e3, f.reWith / f.reFloor);
}

void printSummary() {
  const ExportFigures& wide = exportFigures["200x100"];
  const ExportFigures& small = exportFigures["1x10000"];
  const ExportFigures& large = exportFigures["1x100000"];
  std::printf("\nExport summary (export/bookmarks.html and export/search-data.js; goals in brackets)\n");
  printRuns("20 000 shortcuts in 200 sections", wide);
  printRuns("one section of 100 000", large);
  std::printf(
      "  the export alone: 20 000 links in 200 sections %.1f ms; 10 000 in one %.1f ms; 100 000 in one %.1f ms\n",
      wide.exportAlone * 1e3, small.exportAlone * 1e3, large.exportAlone * 1e3);
  std::printf(
      "  the export over an unchanged site (a stat per page, nothing written): 20 000 links in 200 sections\n"
      "  %.2f ms; 100 000 in one %.2f ms\n",
      wide.unchangedCheck * 1e3, large.unchangedCheck * 1e3);
  std::printf("  export time per link at 100 000 against 10 000: %.2f (<= 1.3)\n",
              (large.exportAlone / large.links) / (small.exportAlone / small.links));
  std::printf("  files for 100 000 links: bookmarks.html %.1f MiB, search data %.1f MiB\n",
              static_cast<double>(large.bookmarksBytes) / 1048576.0, static_cast<double>(large.dataBytes) / 1048576.0);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (exportFigures.size() == 3) {
    printSummary();
  }
  benchmark::Shutdown();
  return 0;
}

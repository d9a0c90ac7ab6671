// SPDX-License-Identifier: MIT
// What the benchmark cases share: generated collections, the run, and the floors a run is
// measured against (every shortcut read once, every page byte written or read once).
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "site/conversion.h"

namespace trevanto::bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path workRoot();
fs::path programFolder();
double secondsSince(Clock::time_point start);
void freshFolder(const fs::path& folder);

// A collection of `sections` folders with `perSection` shortcuts each, as Explorer writes them.
struct Collection {
  fs::path source;
  std::vector<fs::path> shortcuts;
  int count = 0;
};
const Collection& collection(int sections, int perSection);

// A run that must succeed.
site::RunReport convert(const fs::path& source, const fs::path& site);

// The files of a folder with their bytes.
using Pages = std::vector<std::pair<fs::path, std::string>>;
Pages pagesOf(const fs::path& site);

// The floors, with the shortcuts read by `readers` threads (one: one after another). A first
// run's floor reads every shortcut and writes the pages into a fresh floorSite; a re-run's
// reads every shortcut and every page of site.
double firstRunFloor(const std::vector<fs::path>& shortcuts, const Pages& pages, const fs::path& floorSite,
                     int readers);
double reRunFloor(const std::vector<fs::path>& shortcuts, const Pages& pages, const fs::path& site, int readers);

// What one case measured, averaged over its iterations, for the summary.
struct Figures {
  double firstRun = 0, firstFloor = 0, reRun = 0, reFloor = 0;
  double firstRunWithoutSync = 0;  // the same first run without the sync at its end
  double finalSync = 0;            // that sync alone, right after the unsynced run
  int shortcuts = 0;
};
std::map<std::string, Figures>& figures();

// The slow-storage cases: a child process measures a run against its limit.
constexpr std::string_view kMeasureAgainstLimitMode = "--measure-against-limit";
int measureAgainstLimit(int argc, char** argv);
// The latency, cold-cache and warm cases side by side.
void printStorageSummary();

}  // namespace trevanto::bench

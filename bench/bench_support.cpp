// SPDX-License-Identifier: MIT
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "support/files.h"

namespace trevanto::bench {

using testing::readFile;
using testing::writeFile;

fs::path workRoot() {
  static const testing::TempFolder root;
  return root.path();
}

fs::path programFolder() { return fs::canonical("/proc/self/exe").parent_path().parent_path() / "bin"; }

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void freshFolder(const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
}

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

site::RunReport convert(const fs::path& source, const fs::path& site) {
  site::RunRequest request(source, site, programFolder());
  auto report = site::runConversion(request);
  if (report.failed()) {
    std::cerr << report.error << "\n";
    std::abort();
  }
  return report;
}

Pages pagesOf(const fs::path& site) {
  Pages pages;
  for (const auto& entry : fs::directory_iterator(site))
    pages.emplace_back(entry.path().filename(), readFile(entry.path()));
  return pages;
}

namespace {

void readEvery(const std::vector<fs::path>& files, int readers) {
  if (readers <= 1) {
    for (const fs::path& file : files) benchmark::DoNotOptimize(readFile(file));
    return;
  }
  std::atomic<std::size_t> next = 0;
  std::vector<std::jthread> threads;
  for (int i = 0; i < readers; ++i) {
    threads.emplace_back([&] {
      for (std::size_t at; (at = next++) < files.size();) benchmark::DoNotOptimize(readFile(files[at]));
    });
  }
}

}  // namespace

double firstRunFloor(const std::vector<fs::path>& shortcuts, const Pages& pages, const fs::path& floorSite,
                     int readers) {
  freshFolder(floorSite);
  const auto start = Clock::now();
  readEvery(shortcuts, readers);
  for (const auto& [name, bytes] : pages) writeFile(floorSite / name, bytes);
  return secondsSince(start);
}

double reRunFloor(const std::vector<fs::path>& shortcuts, const Pages& pages, const fs::path& site, int readers) {
  const auto start = Clock::now();
  readEvery(shortcuts, readers);
  for (const auto& page : pages) benchmark::DoNotOptimize(readFile(site / page.first));
  return secondsSince(start);
}

std::map<std::string, Figures>& figures() {
  static std::map<std::string, Figures> measured;
  return measured;
}

}  // namespace trevanto::bench

// SPDX-License-Identifier: MIT
// trevanto-import --browsers over a home of 5 browser profiles of 20 000 bookmarks each (three
// Firefox places.sqlite, two Chromium-family Bookmarks files) beside importing the same 5 files
// given by path: finding the profiles should cost next to nothing. Both run as the program, in
// turns, each into a fresh collection; medians are compared.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/browser_home.h"
#include "support/files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kProfiles = 5;
constexpr int kPerProfile = 20000;

struct Home {
  fs::path home;
  fs::path config;
  std::vector<fs::path> files;  // the profiles' bookmark files
};

const Home& homeOf5Profiles() {
  static const trevanto::testing::TempFolder root;
  static Home made = [] {
    Home h{root / "home", root / "home/.config", {}};
    for (int p = 0; p < kProfiles; ++p) {
      std::vector<trevanto::testing::FakeBookmark> bookmarks;
      for (int i = 0; i < kPerProfile; ++i) {
        const std::string n = std::to_string(p) + "-" + std::to_string(i);
        bookmarks.push_back({"Папка " + std::to_string(p) + "." + std::to_string(i / 1000), "Закладка " + n,
                             "https://site" + std::to_string(i % 997) + ".example.com/page/" + n,
                             1262304000 + i * 60});
      }
      if (p < 3) {
        const std::string name = "p" + std::to_string(p) + ".default";
        h.files.push_back(h.home / ".mozilla/firefox" / name / "places.sqlite");
        trevanto::testing::writePlaces(h.files.back(), bookmarks);
      } else {
        const std::string folder = p == 3 ? "Default" : "Profile 1";
        h.files.push_back(h.config / "google-chrome" / folder / "Bookmarks");
        trevanto::testing::writeChromiumBookmarks(h.files.back(), bookmarks);
      }
    }
    trevanto::testing::writeFile(h.home / ".mozilla/firefox/profiles.ini",
                                 "[Profile0]\nName=a\nIsRelative=1\nPath=p0.default\n\n"
                                 "[Profile1]\nName=b\nIsRelative=1\nPath=p1.default\n\n"
                                 "[Profile2]\nName=c\nIsRelative=1\nPath=p2.default\n");
    trevanto::testing::writeLocalState(h.config / "google-chrome/Local State", {{"Default", "d"}, {"Profile 1", "e"}});
    return h;
  }();
  return made;
}

// Runs trevanto-import with the arguments and the fake home; the seconds it took.
double runImport(const std::vector<std::string>& arguments) {
  const fs::path program = fs::canonical("/proc/self/exe").parent_path().parent_path() / "bin" / "trevanto-import";
  const Home& h = homeOf5Profiles();
  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::setenv("HOME", h.home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", h.config.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::abort();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void BM_BrowsersBesideByPath(benchmark::State& state) {
  const Home& h = homeOf5Profiles();
  const fs::path collection = h.home.parent_path() / "collection";
  std::vector<std::string> byPath;
  for (const fs::path& file : h.files) byPath.push_back(file.string());
  byPath.push_back(collection.string());
  std::vector<double> browsers, paths;
  for (auto _ : state) {
    // Which goes first changes each time: the removal of the collection before it is still
    // being written back while the next run starts.
    const bool browsersFirst = browsers.size() % 2 == 1;
    double run = 0;
    for (int turn = 0; turn < 2; ++turn) {
      fs::remove_all(collection);
      if ((turn == 0) == browsersFirst) {
        run = runImport({"--browsers", collection.string()});
        browsers.push_back(run);
      } else {
        paths.push_back(runImport(byPath));
      }
    }
    state.SetIterationTime(run);
  }
  const double ratio = median(browsers) / median(paths);
  state.counters["browsers_vs_by_path"] = ratio;
  std::printf("\nImport of 5 browser profiles of 20 000 bookmarks each (3 places.sqlite, 2 Bookmarks), medians of %d\n",
              static_cast<int>(browsers.size()));
  std::printf("  --browsers: %.0f ms, the same 5 files by path %.0f ms, ratio %.2f (<= 1.2)\n", median(browsers) * 1e3,
              median(paths) * 1e3, ratio);
}
BENCHMARK(BM_BrowsersBesideByPath)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

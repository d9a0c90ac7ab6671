// SPDX-License-Identifier: MIT
// The import of a browser's export of 100 000 bookmarks beside its floor: writing the same
// 100 000 shortcut files through a temporary file and a rename. A re-import of the same export
// beside reading the collection's shortcuts once. Imports of 100 000 folders nested in one
// another and of 100 000 bookmarks of one title beside 100 000 distinct bookmarks in one folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "base/posix/file_descriptor.h"
#include "import/formats.h"
#include "import/importer.h"
#include "import/shortcut_writer.h"
#include "support/files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFolders = 100;
constexpr int kPerFolder = 1000;
constexpr int kBookmarks = kFolders * kPerFolder;

fs::path importRoot() {
  static const trevanto::testing::TempFolder root;
  return root.path();
}

struct Shortcut {
  std::string folder;
  std::string name;  // with ".url"
  std::string text;
};

// A Netscape export as browsers write it, and the shortcut files it makes.
struct Export {
  fs::path file;
  std::vector<Shortcut> shortcuts;
};

const Export& exportOf100000() {
  static Export made = [] {
    Export e;
    e.file = importRoot() / "bookmarks.html";
    std::string html =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<!-- This is an automatically generated file.\n     It will be read "
        "and overwritten.\n     DO NOT EDIT! -->\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
        "charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
    for (int f = 0; f < kFolders; ++f) {
      const std::string folder = "Папка " + std::to_string(f);
      html += "    <DT><H3 ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000001\">" + folder + "</H3>\n    <DL><p>\n";
      for (int i = 0; i < kPerFolder; ++i) {
        const std::string id = std::to_string(f) + "-" + std::to_string(i);
        const std::string address = "https://host" + id + ".example.com/articles/" + id + "?from=bookmarks&amp;x=1";
        const std::string title = "Закладка номер " + id;
        html += "        <DT><A HREF=\"" + address + "\" ADD_DATE=\"1700000002\" ICON=\"data:image/png;base64," +
                "iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9hAAAAAXNSR0IArs4c6QAAAARnQU1BAACxjwv8YQUAAAAJ\">" + title +
                "</A>\n";
        e.shortcuts.push_back({folder, title + ".url",
                               trevanto::import::shortcutText("https://host" + id + ".example.com/articles/" + id +
                                                              "?from=bookmarks&x=1")});
      }
      html += "    </DL><p>\n";
    }
    html += "</DL>\n";
    trevanto::testing::writeFile(e.file, html);
    return e;
  }();
  return made;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void freshFolder(const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
}

// The floor: every shortcut file written whole through a temporary file and a rename.
void writeThroughRename(const fs::path& collection, const std::vector<Shortcut>& shortcuts) {
  std::string folderMade;
  for (const Shortcut& s : shortcuts) {
    const fs::path folder = collection / s.folder;
    if (s.folder != folderMade) fs::create_directories(folder), folderMade = s.folder;
    const fs::path temporary = folder / ".tmp";
    const trevanto::base::FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd || trevanto::base::writeAll(fd.get(), s.text) != 0) std::abort();
    if (::rename(temporary.c_str(), (folder / s.name).c_str()) != 0) std::abort();
  }
}

// The re-import's floor: every shortcut of the collection read once.
void readEveryShortcut(const fs::path& collection) {
  for (const auto& entry : fs::recursive_directory_iterator(collection)) {
    if (entry.is_regular_file()) benchmark::DoNotOptimize(trevanto::testing::readFile(entry.path()));
  }
}

// Reading the export once: the file parsed, its bookmarks handed to a sink that keeps nothing.
class NullSink : public trevanto::import::BookmarkSink {
 public:
  void beginFolder(std::string_view) override {}
  void endFolder() override {}
  void bookmark(std::string_view title, std::string_view address) override {
    benchmark::DoNotOptimize(title.size() + address.size());
  }
  void skipped(std::string_view, std::string_view) override {}
  void passedOver() override {}
};

void readTheExport() {
  NullSink sink;
  trevanto::import::readNetscapeBookmarks(trevanto::testing::readFile(exportOf100000().file), sink);
}

trevanto::import::ImportReport importInto(const fs::path& collection) {
  trevanto::import::ImportRequest request;
  request.inputs = {exportOf100000().file};
  request.collection = collection;
  auto report = trevanto::import::runImport(request);
  if (report.failed()) {
    std::cerr << report.error << "\n";
    std::abort();
  }
  return report;
}

// Peak resident memory of trevanto-import over the export, in a process of its own.
double importPeakMemoryMiB() {
  const fs::path program = fs::canonical("/proc/self/exe").parent_path().parent_path() / "bin" / "trevanto-import";
  const fs::path collection = importRoot() / "memory-collection";
  fs::remove_all(collection);
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::execl(program.c_str(), program.c_str(), exportOf100000().file.c_str(), collection.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_Import100000(benchmark::State& state) {
  const Export& e = exportOf100000();
  const fs::path floorCollection = importRoot() / "floor";
  const fs::path collection = importRoot() / "collection";
  double first = 0, floor = 0, again = 0, readFloor = 0, parse = 0;
  for (auto _ : state) {
    freshFolder(floorCollection);
    auto start = Clock::now();
    writeThroughRename(floorCollection, e.shortcuts);
    floor += secondsSince(start);

    fs::remove_all(collection);
    start = Clock::now();
    if (importInto(collection).added != kBookmarks) std::abort();
    const double firstRun = secondsSince(start);
    first += firstRun;

    start = Clock::now();
    readEveryShortcut(collection);
    readFloor += secondsSince(start);

    start = Clock::now();
    readTheExport();
    parse += secondsSince(start);

    start = Clock::now();
    if (importInto(collection).alreadyThere != kBookmarks) std::abort();
    again += secondsSince(start);
    state.SetIterationTime(firstRun);
  }
  const auto n = static_cast<double>(state.iterations());
  first /= n, floor /= n, again /= n, readFloor /= n, parse /= n;
  state.counters["import_vs_floor"] = first / floor;
  state.counters["reimport_vs_read"] = again / readFloor;
  std::printf("\nImport of 100 000 bookmarks (100 folders of 1000) from a Netscape export (goals in brackets)\n");
  std::printf("  import:    %.0f ms, floor (100 000 files through temp + rename) %.0f ms, ratio %.2f (<= 2)\n",
              first * 1e3, floor * 1e3, first / floor);
  std::printf("  re-import: %.0f ms, floor (reading the 100 000 shortcuts once) %.0f ms, ratio %.2f (<= 1)\n",
              again * 1e3, readFloor * 1e3, again / readFloor);
  std::printf("             of which reading the export once (parse, no collection) %.0f ms; ratio to both %.2f\n",
              parse * 1e3, again / (readFloor + parse));
  std::printf("  peak memory of trevanto-import over this export: %.1f MiB\n", importPeakMemoryMiB());
}
BENCHMARK(BM_Import100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// An export of 100 000 bookmarks of one of three shapes: distinct titles in one folder,
// one title for all in one folder, or each in a folder of its own nested in the one before.
enum class Shape { Flat, EqualTitles, Nested };

fs::path exportOfShape(Shape shape) {
  const char* names[] = {"flat.html", "equal.html", "nested.html"};
  const fs::path file = importRoot() / names[static_cast<int>(shape)];
  if (fs::exists(file)) return file;
  std::string html = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                     "charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
  for (int i = 0; i < kBookmarks; ++i) {
    const std::string id = std::to_string(i);
    if (shape == Shape::Nested) html += "<DT><H3>Папка " + id + "</H3>\n<DL><p>\n";
    const std::string title = shape == Shape::EqualTitles ? "Одно и то же" : "Закладка номер " + id;
    html += "<DT><A HREF=\"https://host" + id + ".example.com/articles/" + id + "\" ADD_DATE=\"1700000002\">" + title +
            "</A>\n";
  }
  if (shape == Shape::Nested) {
    for (int i = 0; i < kBookmarks; ++i) html += "</DL><p>\n";
  }
  html += "</DL>\n";
  trevanto::testing::writeFile(file, html);
  return file;
}

double importSeconds(Shape shape) {
  const fs::path collection = importRoot() / "shape-collection";
  fs::remove_all(collection);
  trevanto::import::ImportRequest request;
  request.inputs = {exportOfShape(shape)};
  request.collection = collection;
  const auto start = Clock::now();
  const auto report = trevanto::import::runImport(request);
  const double seconds = secondsSince(start);
  if (report.failed() || report.added != kBookmarks) {
    std::cerr << report.error << " added " << report.added << "\n";
    std::abort();
  }
  return seconds;
}

void BM_ImportShapes(benchmark::State& state) {
  std::vector<double> flat, equal, nested;
  for (auto _ : state) {
    flat.push_back(importSeconds(Shape::Flat));
    equal.push_back(importSeconds(Shape::EqualTitles));
    nested.push_back(importSeconds(Shape::Nested));
    state.SetIterationTime(flat.back());
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double f = median(flat), e = median(equal), n = median(nested);
  state.counters["equal_vs_flat"] = e / f;
  state.counters["nested_vs_flat"] = n / f;
  std::printf("\nImport of 100 000 bookmarks by shape, medians of %zu (goals in brackets)\n", flat.size());
  std::printf("  distinct titles in one folder:   %.0f ms\n", f * 1e3);
  std::printf("  one title for all, one folder:   %.0f ms, ratio %.2f (<= 2)\n", e * 1e3, e / f);
  std::printf("  100 000 folders nested, one each: %.0f ms, ratio %.2f (<= 2)\n", n * 1e3, n / f);
}
BENCHMARK(BM_ImportShapes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

// SPDX-License-Identifier: MIT
// The streaming readers at 1x, 8x and 64x. A Chromium-family Bookmarks file: one folder of
// empty entries (1 MB at 1x) and one of bookmarks (5 000 at 1x), each read in a process of its
// own so that its peak memory is its own, beside the same file parsed whole into a tree
// (nlohmann::json::parse). A Netscape file with one tag of 100 000 attributes at 1x. Medians of
// three runs; time should grow with the file (8x within 10x), memory with what is kept.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "import/formats.h"
#include "import/importer.h"
#include "support/files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

fs::path readerRoot() {
  static const trevanto::testing::TempFolder root;
  return root.path();
}

// Writes a file from a process of its own, so that the text made for it never adds to the
// memory of this process, which the children timed below start from.
template <typename Make>
void writeInChild(const fs::path& file, Make make) {
  const pid_t child = ::fork();
  if (child == 0) {
    trevanto::testing::writeFile(file, make());
    _exit(0);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::abort();
}

enum class Shape { EmptyEntries, Bookmarks };

fs::path bookmarksFile(Shape shape, int times) {
  const fs::path file =
      readerRoot() / ((shape == Shape::EmptyEntries ? "empty-" : "bookmarks-") + std::to_string(times) + ".json");
  if (fs::exists(file)) return file;
  writeInChild(file, [&] {
    std::string json = R"({"checksum": "0", "roots": {"bookmark_bar": {"children": [{"children": [)";
    if (shape == Shape::EmptyEntries) {
      for (int i = 0; i < times * 333'000; ++i) json += "{},";
    } else {
      for (int i = 0; i < times * 5'000; ++i) {
        const std::string id = std::to_string(i);
        json += R"({"date_added": "13300000000000000", "guid": "00000000-0000-4000-8000-)" + std::string(12 - id.size(), '0') +
                id + R"(", "id": ")" + id + R"(", "name": "Закладка номер )" + id +
                R"(", "type": "url", "url": "https://host)" + id + R"(.example.com/articles/)" + id + R"("},)";
      }
    }
    json += R"({}], "name": "Папка", "type": "folder"}], "name": "Панель", "type": "folder"}}, "version": 1})";
    return json;
  });
  return file;
}

class CountingSink : public trevanto::import::BookmarkSink {
 public:
  void beginFolder(std::string_view) override {}
  void endFolder() override {}
  void bookmark(std::string_view, std::string_view) override { ++count; }
  void skipped(std::string_view, std::string_view) override {}
  void passedOver() override {}
  long count = 0;
};

struct Measured {
  double seconds = 0;
  double peakMiB = 0;
};

// Runs work in a child process; its time and peak resident memory.
template <typename Work>
Measured inChild(Work work) {
  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) _exit(work() ? 0 : 1);
  int status = 0;
  struct rusage usage {};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::abort();
  return {std::chrono::duration<double>(Clock::now() - start).count(), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

// The median time and the median peak of the runs.
Measured median(std::vector<Measured> runs) {
  const auto middle = runs.begin() + static_cast<std::ptrdiff_t>(runs.size() / 2);
  std::nth_element(runs.begin(), middle, runs.end(), [](auto& a, auto& b) { return a.seconds < b.seconds; });
  const double seconds = middle->seconds;
  std::nth_element(runs.begin(), middle, runs.end(), [](auto& a, auto& b) { return a.peakMiB < b.peakMiB; });
  return {seconds, middle->peakMiB};
}

Measured streamed(const fs::path& file, long expected) {
  return inChild([&] {
    CountingSink sink;
    trevanto::import::readBookmarkInput(file, sink);
    return sink.count == expected;
  });
}

Measured wholeTree(const fs::path& file) {
  return inChild([&] {
    const std::string bytes = trevanto::testing::readFile(file);
    return !nlohmann::json::parse(bytes, nullptr, false).is_discarded();
  });
}

void BM_ChromiumBookmarks(benchmark::State& state) {
  const auto shape = static_cast<Shape>(state.range(0));
  const int times = static_cast<int>(state.range(1));
  const fs::path file = bookmarksFile(shape, times);
  const long expected = shape == Shape::Bookmarks ? times * 5'000L : 0;
  std::vector<Measured> streams, trees;
  for (auto _ : state) {
    streams.push_back(streamed(file, expected));
    trees.push_back(wholeTree(file));
    state.SetIterationTime(streams.back().seconds);
  }
  const Measured stream = median(streams), tree = median(trees);
  std::printf("\nBookmarks, %s, %dx (%.1f MB): streamed %.0f ms, %.1f MiB peak; whole tree %.0f ms, %.1f MiB peak\n",
              shape == Shape::Bookmarks ? "bookmarks" : "empty entries", times,
              static_cast<double>(fs::file_size(file)) / 1e6, stream.seconds * 1e3, stream.peakMiB,
              tree.seconds * 1e3, tree.peakMiB);
  state.counters["peak_MiB"] = stream.peakMiB;
}
BENCHMARK(BM_ChromiumBookmarks)
    ->ArgsProduct({{static_cast<int>(Shape::EmptyEntries), static_cast<int>(Shape::Bookmarks)}, {1, 8, 64}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A Netscape bookmark file whose one tag holds 100 000 attributes at 1x: refused at the tag,
// in time that grows with the file (the parser's check of each attribute against all before it
// would take the square).
fs::path manyAttributesFile(int times) {
  const fs::path file = readerRoot() / ("attributes-" + std::to_string(times) + ".html");
  if (fs::exists(file)) return file;
  writeInChild(file, [&] {
    std::string html = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF=\"https://many.example/\"";
    for (int i = 0; i < times * 100'000; ++i) html += " a" + std::to_string(i) + "=\"1\"";
    html += ">Many</A>\n</DL>\n";
    return html;
  });
  return file;
}

void BM_NetscapeManyAttributes(benchmark::State& state) {
  const int times = static_cast<int>(state.range(0));
  const fs::path file = manyAttributesFile(times);
  std::vector<Measured> runs;
  for (auto _ : state) {
    runs.push_back(inChild([&] {
      CountingSink sink;
      try {
        trevanto::import::readBookmarkInput(file, sink);
      } catch (const std::exception&) {
        return true;  // refused, as it must be
      }
      return false;
    }));
    state.SetIterationTime(runs.back().seconds);
  }
  const Measured run = median(runs);
  std::printf("\nOne tag of %d attributes (%.1f MB): refused in %.0f ms, %.1f MiB peak\n", times * 100'000,
              static_cast<double>(fs::file_size(file)) / 1e6, run.seconds * 1e3, run.peakMiB);
}
BENCHMARK(BM_NetscapeManyAttributes)->Arg(1)->Arg(8)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

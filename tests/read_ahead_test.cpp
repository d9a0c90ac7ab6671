// SPDX-License-Identifier: MIT
#include "base/read_ahead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "site/conversion.h"
#include "site/shortcut_prefetch.h"
#include "kept_collections.h"
#include "test_support.h"

using namespace trevanto::base;
using namespace trevanto::site;
using trevanto::testing::readFile;
using trevanto::testing::runKeeping;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;
using trevanto::testing::writeShortcut;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A wait as of a round trip. Windows sleeps in whole steps of its timer (a millisecond at best):
// a shorter sleep there does not wait at all.
#ifdef _WIN32
constexpr std::chrono::microseconds kWaitStep{1000};
#else
constexpr std::chrono::microseconds kWaitStep{1};
#endif

ReadAheadOptions readingAheadFromTheStart(std::size_t readsInFlight, std::size_t window) {
  return {readsInFlight, window, std::chrono::microseconds{0}};
}

TEST(ReadAhead, resultsComeInOrderWithinTheWindowWhateverReadFinishesFirst) {
  constexpr std::size_t kCount = 300;
  constexpr std::size_t kWindow = 5;
  std::atomic<int> inFlight = 0;
  std::atomic<int> mostInFlight = 0;
  std::atomic<bool> outsideWindow = false;
  std::atomic<std::size_t> taken = 0;
  ReadAhead<std::string> reads(
      kCount,
      [&](std::size_t position) {
        const int now = ++inFlight;
        mostInFlight = std::max(mostInFlight.load(), now);
        if (position > taken + kWindow) outsideWindow = true;
        std::this_thread::sleep_for(kWaitStep * static_cast<int>((position * 37) % (kWaitStep.count() == 1 ? 300 : 3)));
        --inFlight;
        if (position == 77) throw std::runtime_error("unreadable");
        return std::to_string(position);
      },
      readingAheadFromTheStart(4, kWindow));
  for (std::size_t position = 0; position < kCount; ++position) {
    if (position == 77) {
      EXPECT_THROW(reads.take(), std::runtime_error);
    } else {
      EXPECT_EQ(reads.take(), std::to_string(position));
    }
    ++taken;
  }
  EXPECT_EQ(reads.readersStarted(), 4u);
  EXPECT_FALSE(outsideWindow);
  EXPECT_LE(mostInFlight, 5);  // the readers and the run itself
  EXPECT_GT(mostInFlight, 1);
}

TEST(ReadAhead, readersStartOnlyOnceReadsWaitAndStopWithTheirOwner) {
  // Reads from memory never wait: the run reads alone.
  ReadAhead<int> quick(1000, [](std::size_t position) { return static_cast<int>(position); });
  for (int position = 0; position < 1000; ++position) ASSERT_EQ(quick.take(), position);
  EXPECT_EQ(quick.readersStarted(), 0u);

  // Reads that wait, as for a round trip: readers start and go ahead, up to the window only,
  // and going away stops them without reading the rest.
  std::atomic<std::size_t> read = 0;
  {
    ReadAhead<int> slow(100000, [&read](std::size_t position) {
      ++read;
      std::this_thread::sleep_for(std::max<std::chrono::microseconds>(300us, 2 * kWaitStep));
      return static_cast<int>(position);
    });
    for (int position = 0; position < 50; ++position) ASSERT_EQ(slow.take(), position);
    EXPECT_EQ(slow.readersStarted(), runReadAheadOptions().readsInFlight);
  }
  EXPECT_LE(read, 50 + runReadAheadOptions().window);
}

TEST(ShortcutPrefetch, aFileOutsideThePlanIsReadThenAndThePlanGoesOn) {
  TempFolder temp;
  for (const char* name : {"a", "b", "c"}) writeShortcut(temp / "S", name, std::string("http://") + name + "/");
  writeShortcut(temp / "Other", "x", "http://x/");
  ReadingPlan plan;
  plan.addFolder(temp / "S");
  for (const char* name : {"a.url", "b.url", "c.url"}) plan.addFile(name);
  ShortcutPrefetch prefetch(std::move(plan), readingAheadFromTheStart(2, 2));
  EXPECT_EQ(prefetch.take(temp / "S" / "a.url").bytes, readFile(temp / "S" / "a.url"));
  EXPECT_EQ(prefetch.take(temp / "Other" / "x.url").bytes, readFile(temp / "Other" / "x.url"));
  EXPECT_EQ(prefetch.take(temp / "S" / "b.url").bytes, readFile(temp / "S" / "b.url"));
  EXPECT_EQ(prefetch.take(temp / "S" / "gone.url").problem, trevanto::base::ReadProblem::Unreadable);
  EXPECT_EQ(prefetch.take(temp / "S" / "c.url").bytes, readFile(temp / "S" / "c.url"));
}

// Everything a run leaves behind: its report, what it reported on the way and every site file.
struct Outcome {
  RunReport report;
  std::vector<std::string> progress;
  std::map<std::string, std::string> site;
};

class ReadingAheadRun : public ::testing::Test {
 protected:
  void SetUp() override {
    // Sections with good, repeated, bad and unreadable shortcuts, across several boundaries.
    for (int s = 0; s < 7; ++s) {
      const fs::path section = temp_ / "source" / ("Section " + std::to_string(s));
      for (int i = 0; i < 23; ++i) {
        writeShortcut(section, "link " + std::to_string(i),
                      "http://s" + std::to_string(s % 3) + ".example/" + std::to_string(i % 17));
      }
      writeFile(section / "no address.url", "[InternetShortcut]\r\n");
      writeShortcut(section, "script", "javascript:alert(1)");
      writeFile(section / "too large.url", std::string(kMaxShortcutBytes + 1, 'x'));
      fs::create_directory(section / "folder.url");
#ifndef _WIN32  // Windows has no FIFOs in folders
      ASSERT_EQ(::mkfifo((section / "pipe.url").c_str(), 0644), 0);
#endif
    }
    fs::create_directory(temp_ / "source" / "Empty");
  }

  void TearDown() override { runReadAheadOptions() = saved_; }

  Outcome run(const std::string& site, const ReadAheadOptions& options, int stopAfter = -1) {
    runReadAheadOptions() = options;
    Outcome outcome;
    RunRequest request(temp_ / "source", temp_ / site, TREVANTO_TEMPLATES_DIR);
    fs::create_directories(request.siteFolder);
    request.onProgress = [&outcome](const RunProgress& progress) {
      outcome.progress.push_back(std::to_string(progress.done) + "/" + std::to_string(progress.total) + " " +
                                 progress.section);
    };
    request.stopRequested = [&outcome, stopAfter] {
      return stopAfter >= 0 && outcome.progress.size() == static_cast<std::size_t>(stopAfter);
    };
    outcome.report = runKeeping(request);
    for (const auto& entry : fs::directory_iterator(request.siteFolder)) {
      outcome.site[entry.path().filename().string()] = readFile(entry.path());
    }
    return outcome;
  }

  static void expectSame(const Outcome& ahead, const Outcome& alone) {
    EXPECT_EQ(ahead.report.error, alone.report.error);
    EXPECT_EQ(ahead.report.ConvertedCount, alone.report.ConvertedCount);
    EXPECT_EQ(ahead.report.NewSectionCount, alone.report.NewSectionCount);
    EXPECT_EQ(ahead.report.RepeatCount, alone.report.RepeatCount);
    EXPECT_EQ(ahead.report.stopped, alone.report.stopped);
    EXPECT_EQ(statisticsLines(ahead.report), statisticsLines(alone.report));
    EXPECT_EQ(ahead.progress, alone.progress);
    EXPECT_EQ(ahead.site, alone.site);  // byte for byte
  }

  const ReadAheadOptions saved_ = runReadAheadOptions();
  const ReadAheadOptions alone_{0, 1, std::chrono::microseconds{0}};
  TempFolder temp_;
};

TEST_F(ReadingAheadRun, writesAndReportsWhatAOneAtATimeRunDoes) {
  const Outcome alone = run("alone", alone_);
#ifdef _WIN32
  EXPECT_EQ(alone.report.skipped.size(), 7u * 4u);  // no FIFO among them
#else
  EXPECT_EQ(alone.report.skipped.size(), 7u * 5u);
#endif
  EXPECT_GT(alone.report.RepeatCount, 0);
  for (const ReadAheadOptions& options : {readingAheadFromTheStart(16, 64), readingAheadFromTheStart(3, 2)}) {
    SCOPED_TRACE(std::to_string(options.readsInFlight) + " reads in flight");
    const std::string site = "ahead-" + std::to_string(options.readsInFlight);
    expectSame(run(site, options), alone);
    // And a re-run over what it wrote.
    expectSame(run(site, options), run("alone", alone_));
  }
}

TEST_F(ReadingAheadRun, aStopComesBetweenTheSameTwoShortcutsAndTheNextRunCompletes) {
  for (const int stopAfter : {0, 5, 26, 80}) {
    SCOPED_TRACE("stopped after " + std::to_string(stopAfter));
    const std::string suffix = std::to_string(stopAfter);
    const Outcome alone = run("alone-" + suffix, alone_, stopAfter);
    const Outcome ahead = run("ahead-" + suffix, readingAheadFromTheStart(16, 64), stopAfter);
    EXPECT_TRUE(ahead.report.stopped);
    expectSame(ahead, alone);
    expectSame(run("ahead-" + suffix, readingAheadFromTheStart(16, 64)), run("alone-" + suffix, alone_));
  }
}

}  // namespace

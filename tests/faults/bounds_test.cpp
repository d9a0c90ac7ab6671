// SPDX-License-Identifier: MIT
// Memory and time under attack: a 1 GiB page, 100 000 shortcuts with one address, a shortcut
// of 100 000 lines. Too heavy for every test run; run by hand:
//   build/tests/faults/trevanto_bounds_tests
// Each case prints what it measured (time and peak memory of the converter in a child).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "fault_support.h"
#include "site/page_format.h"
#include "site/page_search.h"
#include "site/shortcut_reader.h"
#include "test_support.h"

namespace trevanto::testing {
namespace {

constexpr long kMemoryBoundKiB = 64 * 1024;

// A work folder on a tmpfs when one can be had, so that the figures are the engine's rather
// than the disk's.
class WorkFolder {
 public:
  WorkFolder() : tmpfs_(temp_ / "fs", "size=3g") {}
  std::filesystem::path path() const { return tmpfs_.usable() ? temp_ / "fs" : temp_.path(); }

 private:
  TempFolder temp_;
  ScratchMount tmpfs_;
};

void report(const char* what, const Outcome& outcome) {
  std::printf("  %-44s %8.2f s  peak %7.1f MiB  exit %d\n", what, outcome.seconds,
              static_cast<double>(outcome.peakKiB) / 1024.0, outcome.exitCode);
}

// Runs fn in a child process and measures it like the converter.
template <typename Fn>
Outcome inChild(Fn fn) {
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) ::_exit(fn() ? 0 : 1);
  int status = 0;
  struct rusage usage {};
  ::wait4(child, &status, 0, &usage);
  Outcome outcome;
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  outcome.peakKiB = usage.ru_maxrss;
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

TEST(Bounds, pageOfOneGibibyte_isSearchedInBoundedMemory) {
  WorkFolder work;
  const std::filesystem::path site = work.path() / "site";
  const std::filesystem::path page = site / "Big.html";
  writeFile(page, site::sectionHeaderLine() + std::string(site::kLineEnd));
  std::filesystem::resize_file(page, std::uintmax_t{1} << 30);  // a hole of zeros, then one link
  std::ofstream(page, std::ios::binary | std::ios::app)
      << site::linkLine("http://example.org/at-the-end", "end") << site::kLineEnd;
  writeShortcut(work.path() / "src/Big", "end", "http://example.org/at-the-end");
  writeShortcut(work.path() / "src/Big", "new", "http://example.org/new");

  const Outcome search = inChild([&] { return site::PoiskKomb(page, "href=\"http://example.org/absent\""); });
  report("PoiskKomb over 1 GiB, text absent", search);
  EXPECT_EQ(search.exitCode, 0);
  EXPECT_LT(search.peakKiB, kMemoryBoundKiB);

  const Outcome run = convertInChild(work.path() / "src", site, work.path());
  report("run over a section page of 1 GiB", run);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Было конвертировано : 1 ссылок."), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Кол. во повторов ссылок : 1 ."), std::string::npos) << run.out;
  EXPECT_LT(run.peakKiB, kMemoryBoundKiB);
  EXPECT_EQ(std::filesystem::file_size(page), (std::uintmax_t{1} << 30) +
                                                  site::linkLine("http://example.org/at-the-end", "end").size() + 2 +
                                                  site::linkLine("http://example.org/new", "new").size() + 2);
}

TEST(Bounds, hundredThousandShortcutsWithOneAddress) {
  WorkFolder work;
  const std::filesystem::path section = work.path() / "src/Same";
  std::filesystem::create_directories(section);
  const std::string text = shortcutText("http://example.org/same");
  for (int i = 0; i < 100000; ++i) {
    std::ofstream(section / ("Link " + std::to_string(100000 + i) + ".url"), std::ios::binary) << text;
  }
  std::filesystem::create_directories(work.path() / "site");

  const Outcome first = convertInChild(work.path() / "src", work.path() / "site", work.path());
  report("100 000 shortcuts, one address: first run", first);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("Было конвертировано : 1 ссылок."), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("Кол. во повторов ссылок : 99999 ."), std::string::npos) << first.out;
  EXPECT_LT(first.peakKiB, kMemoryBoundKiB);

  const Outcome again = convertInChild(work.path() / "src", work.path() / "site", work.path());
  report("100 000 shortcuts, one address: re-run", again);
  EXPECT_NE(again.out.find("Кол. во повторов ссылок : 100000 ."), std::string::npos) << again.out;
  EXPECT_LT(again.peakKiB, kMemoryBoundKiB);
  EXPECT_EQ(linkTargets(work.path() / "site/Same.html").size(), 1u);
}

TEST(Bounds, shortcutOfHundredThousandLines) {
  WorkFolder work;
  std::string text = "[InternetShortcut]\r\nURL=http://example.org/long\r\n";
  for (int i = 0; i < 100000; ++i) text += "L=v\r\n";
  ASSERT_LT(text.size(), site::kMaxShortcutBytes);
  writeFile(work.path() / "src/Long/long.url", text);

  std::filesystem::create_directories(work.path() / "site-new");
  const Outcome fresh = convertInChild(work.path() / "src", work.path() / "site-new", work.path());
  report("shortcut of 100 000 lines, fresh site", fresh);
  ASSERT_EQ(fresh.exitCode, 0) << fresh.err;
  EXPECT_EQ(linkTargets(work.path() / "site-new/Long.html"), std::vector<std::string>{"http://example.org/long"});
  EXPECT_LT(fresh.peakKiB, kMemoryBoundKiB);

  // An earlier version wrote the old cut: the address and the 100 000 lines after it.
  const std::optional<std::string> old = site::oldLinkText(text);
  ASSERT_TRUE(old);
  EXPECT_GT(old->size(), 400000u);
  writeFile(work.path() / "site-old/Long.html",
            site::sectionHeaderLine() + "\r\n<a href=\"" + *old + "\" target=index>long</a><br>\r\n");
  const Outcome rerun = convertInChild(work.path() / "src", work.path() / "site-old", work.path());
  report("shortcut of 100 000 lines over its old link", rerun);
  ASSERT_EQ(rerun.exitCode, 0) << rerun.err;
  EXPECT_NE(rerun.out.find("Кол. во повторов ссылок : 1 ."), std::string::npos) << rerun.out;
  EXPECT_LT(rerun.peakKiB, kMemoryBoundKiB);
}

}  // namespace
}  // namespace trevanto::testing

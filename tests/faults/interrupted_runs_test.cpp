// SPDX-License-Identifier: MIT
// Runs killed with SIGKILL, and sites an earlier version left behind: what is on disk must
// be whole lines, and a re-run must complete the site without writing any link twice.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "fault_support.h"
#include "site/page_format.h"
#include "test_support.h"

namespace trevanto::testing {
namespace {

// Kills a child run just before it takes shortcut number killAt.
void runKilledBefore(std::int64_t killAt, const std::filesystem::path& source, const std::filesystem::path& site) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    site::RunRequest request(source, site, kTemplates);
    request.onProgress = [killAt](const site::RunProgress& progress) {
      if (progress.done == killAt) ::raise(SIGKILL);
    };
    site::runConversion(request);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the run ended before shortcut " << killAt;
}

TEST(InterruptedRuns, killedBeforeEachShortcut_rerunCompletesWithoutDuplicates) {
  TempFolder temp;
  const Expected expected = makeCollection(temp / "src", 3, 3);
  for (std::int64_t killAt = 0; killAt < 9; ++killAt) {
    SCOPED_TRACE("killed before shortcut " + std::to_string(killAt));
    const std::filesystem::path site = temp / ("site-" + std::to_string(killAt));
    std::filesystem::create_directories(site);
    runKilledBefore(killAt, temp / "src", site);
    expectWholePages(site);
    // A second kill further on, over what the first one left.
    runKilledBefore((killAt * 5 + 3) % 9, temp / "src", site);
    expectWholePages(site);

    const site::RunReport rerun = convert(temp / "src", site);
    EXPECT_FALSE(rerun.failed()) << rerun.error;
    expectCompleteSite(site, expected);
  }
}

// The converter killed at moments spread over a first run, each time on a fresh site folder;
// a re-run completes each site. Sections of one shortcut each put much of the run in the
// steps that create a section.
TEST(InterruptedRuns, converterKilledAtAnyMoment_rerunCompletesWithoutDuplicates) {
  TempFolder temp;
  // Forty runs of the converter: on a tmpfs when one can be had, where they are quick.
  const ScratchMount tmpfs(temp / "fs", "size=64m");
  const std::filesystem::path work = tmpfs.usable() ? temp / "fs" : temp.path();
  const Expected expected = makeCollection(work / "src", 150, 1);
  // The fastest of three whole runs, so that on a busy machine the kills still fall inside runs.
  double whole = 0;
  for (int timed = 0; timed < 3; ++timed) {
    const std::filesystem::path site = work / ("timed-" + std::to_string(timed));
    std::filesystem::create_directories(site);
    const double seconds = convertInChild(work / "src", site, work).seconds;
    whole = timed == 0 ? seconds : std::min(whole, seconds);
  }

  constexpr int kAttempts = 20;
  int killedMidRun = 0;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    const std::filesystem::path site = work / ("site-" + std::to_string(attempt));
    std::filesystem::create_directories(site);
    Child run(convertArgs(work / "src", site), work);
    // Kills spread over the first three quarters of the fastest run: a run slowed by a busy
    // machine is still killed inside, and the end of the run is reached by the other tests.
    std::this_thread::sleep_for(std::chrono::duration<double>(0.75 * whole * (attempt + 0.5) / kAttempts));
    ::kill(run.pid(), SIGKILL);
    if (run.wait().signal == SIGKILL) ++killedMidRun;
    expectWholePages(site);

    const site::RunReport rerun = convert(work / "src", site);
    EXPECT_FALSE(rerun.failed()) << rerun.error;
    expectCompleteSite(site, expected);
  }
  EXPECT_GE(killedMidRun, kAttempts / 4) << "too few runs were killed before they ended";
}

// Section pages written by earlier versions hold the old cut of the address: often several
// lines, sometimes a quote. A re-run takes them as the links they are and appends new links
// as whole lines after them.
TEST(InterruptedRuns, oldPagesWithMultiLineHrefs_rerunAddsOnlyWhatIsNew) {
  TempFolder temp;
  const std::filesystem::path section = temp / "src/Old";
  struct OldLink {
    std::string name;
    std::string file;     // the shortcut
    std::string oldHref;  // what an earlier version wrote for it
  };
  const std::vector<OldLink> old = {
      {"modified", "[InternetShortcut]\r\nURL=http://a.org/x\r\nModified=C0D1E2F3A4B5DA01\r\n",
       "http://a.org/x\r\nModified=C0D1E2F3A4B5DA0"},
      {"baseurl", "[DEFAULT]\r\nBASEURL=http://b.org/\r\n[InternetShortcut]\r\nURL=http://b.org/\r\n",
       "http://b.org/\r\n[InternetShortcut]\r\nURL=http://b.org"},
      {"comma", "[InternetShortcut]\r\nURL=http://c.org/?q=1,2\r\n", "http://c.org/?q=1\r\n"},
      {"quote", "[InternetShortcut]\r\nURL=http://d.org/say\"hi\"\r\n", "http://d.org/say\"hi"},
      {"href inside", "[InternetShortcut]\r\nURL=http://e.org/?a=href=\"x\"\r\nIconIndex=0\r\n",
       "http://e.org/?a=href=\"x\"\r\nIconIndex="},
  };
  std::string page = site::sectionHeaderLine() + std::string(site::kLineEnd);
  // Enough older links that the multi-line ones straddle the first read of the page.
  for (int i = 0; page.size() < 65536 - 40; ++i) {
    const std::string address = "http://filler.org/" + std::to_string(i);
    writeShortcut(section, "filler " + std::to_string(10000 + i), address);
    page += site::linkLine(address, "filler " + std::to_string(10000 + i)) + std::string(site::kLineEnd);
  }
  for (const OldLink& link : old) {
    writeFile(section / (link.name + ".url"), link.file);
    page += "<a href=\"" + link.oldHref + "\" target=index>" + link.name + "</a><br>\r\n";
  }
  std::filesystem::create_directories(temp / "site");
  writeFile(temp / "site/Old.html", page);

  const site::RunReport rerun = convert(temp / "src", temp / "site");
  ASSERT_FALSE(rerun.failed()) << rerun.error;
  EXPECT_EQ(rerun.ConvertedCount, 0);
  EXPECT_EQ(readFile(temp / "site/Old.html"), page);

  // New links, one of them the start of an old address: each is written, as a whole line.
  writeShortcut(section, "new", "http://new.org/");
  writeShortcut(section, "prefix", "http://a.org/");
  const site::RunReport grown = convert(temp / "src", temp / "site");
  ASSERT_FALSE(grown.failed()) << grown.error;
  EXPECT_EQ(grown.ConvertedCount, 2);
  const std::string after = readFile(temp / "site/Old.html");
  ASSERT_TRUE(after.starts_with(page));
  EXPECT_EQ(after.substr(page.size()), site::linkLine("http://new.org/", "new") + std::string(site::kLineEnd) +
                                           site::linkLine("http://a.org/", "prefix") + std::string(site::kLineEnd));

  const site::RunReport again = convert(temp / "src", temp / "site");
  EXPECT_EQ(again.ConvertedCount, 0);
  EXPECT_EQ(readFile(temp / "site/Old.html"), after);
}

}  // namespace
}  // namespace trevanto::testing

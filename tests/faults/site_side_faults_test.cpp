// SPDX-License-Identifier: MIT
// Whole runs whose site folder fails under them: read-only, removed, full, busy, or missing a
// template. Each run must stop with a message that names the file and the reason, leave
// whole lines only, and a re-run once the fault is gone must complete the site without a
// duplicate.
#include <gtest/gtest.h>

#include <cstring>
#include <system_error>

#include "fault_support.h"
#include "kept_collections.h"
#include "test_support.h"

namespace trevanto::testing {
namespace {

std::string snapshot(const std::filesystem::path& folder) {
  std::string all;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    all += entry.path().string() + "\n" + readFile(entry.path()) + "\n";
  }
  return all;
}

void expectNamesFileAndReason(const std::string& message, const std::filesystem::path& folder, int errorNumber) {
  EXPECT_NE(message.find(folder.string()), std::string::npos) << message;
  EXPECT_NE(message.find(std::strerror(errorNumber)), std::string::npos) << message;
}

TEST(SiteSideFaults, readOnlySiteFolder_stopsWithMessageThenRerunCompletes) {
  TempFolder temp;
  const std::filesystem::path site = temp / "site";
  std::optional<ScratchMount> mount;
  if (runningAsRoot()) {
    mount.emplace(site, "size=4m");
    if (!mount->usable()) GTEST_SKIP() << "a read-only site folder needs a mount as root: " << mount->whyNot();
  } else {
    std::filesystem::create_directories(site);
  }
  Expected expected = makeCollection(temp / "src", 1, 3);
  ASSERT_FALSE(convert(temp / "src", site).failed());

  // A grown collection: a new link in the old section and a new section.
  writeShortcut(temp / "src/Section 100", "Later", "http://example.org/later");
  writeShortcut(temp / "src/Another", "One", "http://example.org/another");
  expected["Section 100"].insert("http://example.org/later");
  expected["Another"].insert("http://example.org/another");

  const std::string before = snapshot(site);
  if (mount) {
    ASSERT_TRUE(mount->remount("ro"));
  } else {
    std::filesystem::permissions(site, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
    for (const auto& page : std::filesystem::directory_iterator(site)) {
      std::filesystem::permissions(page.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::remove);
    }
  }
  const Outcome refused = convertInChild(temp / "src", site, temp.path());
  EXPECT_EQ(refused.exitCode, 1);
  expectNamesFileAndReason(refused.err, site, mount ? EROFS : EACCES);
  EXPECT_EQ(snapshot(site), before);

  if (mount) {
    ASSERT_TRUE(mount->remount("rw"));
  } else {
    std::filesystem::permissions(site, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    for (const auto& page : std::filesystem::directory_iterator(site)) {
      std::filesystem::permissions(page.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add);
    }
  }
  const Outcome rerun = convertInChild(temp / "src", site, temp.path());
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  expectCompleteSite(site, expected);
}

// The site folder disappears before each shortcut in turn; every one of them is new, so the
// run must notice, whichever shortcut it was at.
TEST(SiteSideFaults, siteFolderRemovedDuringRun_stopsWithMessageThenRerunCompletes) {
  TempFolder temp;
  const Expected expected = makeCollection(temp / "src", 2, 3);
  for (std::int64_t removeAt = 0; removeAt < 6; ++removeAt) {
    SCOPED_TRACE("site folder removed before shortcut " + std::to_string(removeAt));
    const std::filesystem::path site = temp / ("site-" + std::to_string(removeAt));
    std::filesystem::create_directories(site);
    site::RunRequest request(temp / "src", site, kTemplates);
    request.onProgress = [&](const site::RunProgress& progress) {
      if (progress.done == removeAt) std::filesystem::remove_all(site);
    };
    const site::RunReport report = runKeeping(request);
    EXPECT_TRUE(report.failed()) << "the run reported success into a removed folder";
    EXPECT_NE(report.error.find(site.string()), std::string::npos) << report.error;

    std::filesystem::create_directories(site);
    const site::RunReport rerun = convert(temp / "src", site);
    EXPECT_FALSE(rerun.failed()) << rerun.error;
    expectCompleteSite(site, expected);
  }
}

TEST(SiteSideFaults, missingTemplate_stopsNamingItThenRerunCompletes) {
  TempFolder temp;
  const Expected expected = makeCollection(temp / "src", 1, 2);
  std::filesystem::create_directories(temp / "site");
  std::filesystem::create_directories(temp / "templates");
  for (const char* name : {"Frame1.html", "Index.html"}) {
    std::filesystem::copy_file(kTemplates / name, temp / "templates" / name);
  }

  const site::RunReport report = convert(temp / "src", temp / "site", temp / "templates");
  ASSERT_TRUE(report.failed());
  EXPECT_NE(report.error.find((temp / "templates/Frame3.html").string()), std::string::npos) << report.error;
  EXPECT_NE(report.error.find(std::strerror(ENOENT)), std::string::npos) << report.error;
  expectWholePages(temp / "site");

  const site::RunReport rerun = convert(temp / "src", temp / "site");
  EXPECT_FALSE(rerun.failed()) << rerun.error;
  expectCompleteSite(temp / "site", expected);
}

// The disk fills up at every point of a first run in turn: each run stops with a message
// or completes, pages keep whole lines and the count of links converted is theirs, and a
// re-run with room completes the site.
TEST(SiteSideFaults, fullDisk_stopsWithMessageKeepsWholeLinesThenRerunCompletes) {
  if (!runningAsRoot()) GTEST_SKIP() << "a small file system for the site folder needs a mount, which needs root";
  TempFolder temp;
  Expected expected;
  // Long names and addresses, so that a few pages fill a few blocks.
  for (int s = 0; s < 3; ++s) {
    for (int l = 0; l < 40; ++l) {
      const std::string section = "Section " + std::to_string(s);
      const std::string address =
          "http://example.org/" + std::string(200, static_cast<char>('a' + s)) + "/" + std::to_string(l);
      writeShortcut(temp / "src" / section, "Link " + std::string(100, 'n') + std::to_string(l), address);
      expected[section].insert(address);
    }
  }
  int stopped = 0;
  for (int kib = 4; kib <= 96; kib += 4) {
    SCOPED_TRACE("site folder of " + std::to_string(kib) + " KiB");
    const std::filesystem::path site = temp / ("site-" + std::to_string(kib));
    ScratchMount mount(site, "size=" + std::to_string(kib) + "k");
    if (!mount.usable()) GTEST_SKIP() << mount.whyNot();

    const site::RunReport report = convert(temp / "src", site);
    if (report.failed()) {
      ++stopped;
      EXPECT_NE(report.error.find(site.string()), std::string::npos) << report.error;
      EXPECT_NE(report.error.find(std::strerror(ENOSPC)), std::string::npos) << report.error;
    }
    expectWholePages(site);
    // The statistics count the links that reached a page, not those gathered for one.
    std::size_t onPages = 0;
    for (const auto& entry : std::filesystem::directory_iterator(site)) {
      if (entry.path().filename().string().starts_with("Section ")) onPages += linkTargets(entry.path()).size();
    }
    EXPECT_EQ(static_cast<std::size_t>(report.ConvertedCount), onPages);

    ASSERT_TRUE(mount.remount("size=4m"));
    const site::RunReport rerun = convert(temp / "src", site);
    EXPECT_FALSE(rerun.failed()) << rerun.error;
    expectCompleteSite(site, expected);
  }
  EXPECT_GT(stopped, 5) << "the disk was never full enough to matter";
}

// A second run on a site folder that a run is writing is refused plainly, whether it comes
// from this process or from another program; the first run completes the site.
TEST(SiteSideFaults, twoRunsAtOnce_secondIsRefusedAndSiteIsWhole) {
  TempFolder temp;
  const Expected expected = makeCollection(temp / "src", 2, 5);
  std::filesystem::create_directories(temp / "site");

  site::RunReport inProcess;
  Outcome otherProgram;
  site::RunRequest request(temp / "src", temp / "site", kTemplates);
  request.onProgress = [&](const site::RunProgress& progress) {
    if (progress.done != 3) return;
    inProcess = convert(temp / "src", temp / "site");
    otherProgram = convertInChild(temp / "src", temp / "site", temp.path());
  };
  const site::RunReport first = runKeeping(request);
  EXPECT_FALSE(first.failed()) << first.error;
  expectCompleteSite(temp / "site", expected);

  EXPECT_TRUE(inProcess.failed());
  EXPECT_NE(inProcess.error.find("занята"), std::string::npos) << inProcess.error;
  EXPECT_EQ(inProcess.ConvertedCount, 0);
  EXPECT_EQ(otherProgram.exitCode, 1);
  EXPECT_NE(otherProgram.err.find("занята"), std::string::npos) << otherProgram.err;
  EXPECT_NE(otherProgram.err.find((temp / "site").string()), std::string::npos) << otherProgram.err;

  // Once the first run is over, the folder is free again and there is nothing left to add.
  const site::RunReport after = convert(temp / "src", temp / "site");
  EXPECT_FALSE(after.failed()) << after.error;
  EXPECT_EQ(after.ConvertedCount, 0);
  EXPECT_EQ(after.RepeatCount, 10);
}

TEST(SiteSideFaults, theConverterGivesTheSystemsReasonInTheUsersLanguage) {
  TempFolder temp;
  makeCollection(temp / "src", 1, 1);
  writeFile(temp / "site", "a file where the site folder belongs");
  const std::string english = std::system_category().message(ENOTDIR);
  LocaleScope russian("ru_RU.UTF-8");
  if (!russian.usable()) GTEST_SKIP() << "the locale ru_RU.UTF-8 is not installed (scripts/install-deps adds it)";
  const std::string reason = std::system_category().message(ENOTDIR);
  if (reason == english) GTEST_SKIP() << "the system has no Russian messages";

  const Outcome outcome = convertInChild(temp / "src", temp / "site", temp.path());
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.err.find(reason), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace trevanto::testing

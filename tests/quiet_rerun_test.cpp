// SPDX-License-Identifier: MIT
// A re-run that finds nothing new leaves every file and folder of the site as it was and syncs
// nothing; export/ is rebuilt when a page, the menu or an export file changed since it was
// written; a run that writes links has them on the disk when it returns. The syncs are seen by
// standing in for the system's calls in this test program, which pass them on.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <tuple>

#include "site/conversion.h"
#include "site/export_stamp.h"
#include "site/page_format.h"
#include "site/site_export.h"
#include "site/site_files.h"
#include "kept_collections.h"
#include "test_support.h"

using namespace trevanto::site;
using trevanto::testing::linkOf;
using trevanto::testing::readFile;
using trevanto::testing::runKeeping;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;
using trevanto::testing::writeShortcut;
namespace fs = std::filesystem;

namespace {

std::mutex syncedMutex;
std::multiset<std::string> syncedPaths;

void noteSynced(int fd) {
  char target[4096];
  const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
  const std::lock_guard lock(syncedMutex);
  syncedPaths.insert(length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "?");
}

std::multiset<std::string> takeSynced() {
  const std::lock_guard lock(syncedMutex);
  return std::exchange(syncedPaths, {});
}

}  // namespace

// The engine's calls that put files on the disk come here first.
extern "C" int fsync(int fd) {
  noteSynced(fd);
  return static_cast<int>(::syscall(SYS_fsync, fd));
}
extern "C" int fdatasync(int fd) {
  noteSynced(fd);
  return static_cast<int>(::syscall(SYS_fdatasync, fd));
}
extern "C" int syncfs(int fd) {
  noteSynced(fd);
  return static_cast<int>(::syscall(SYS_syncfs, fd));
}

namespace {

// Every file and folder under a folder with what a write, a rename or a new entry changes.
using Tree = std::map<std::string, std::tuple<std::uintmax_t, ino_t, std::int64_t, std::int64_t>>;
Tree treeOf(const fs::path& root) {
  Tree tree;
  const auto note = [&tree, &root](const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return;
    tree[fs::relative(path, root).string()] = {
        static_cast<std::uintmax_t>(info.st_size), info.st_ino,
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
  };
  note(root);
  for (const auto& entry : fs::recursive_directory_iterator(root)) note(entry.path());
  return tree;
}

class QuietRerunTest : public ::testing::Test {
 protected:
  fs::path source() const { return root_ / "source"; }
  fs::path site() const { return root_ / "site"; }
  fs::path exported(std::string_view name) const { return site() / "export" / std::string(name); }

  void SetUp() override {
    fs::create_directories(site());
    for (int s = 0; s < 3; ++s) {
      for (int i = 0; i < 4; ++i) {
        writeShortcut(source() / ("S" + std::to_string(s)), "L" + std::to_string(i),
                      "http://s" + std::to_string(s) + ".example/" + std::to_string(i));
      }
    }
  }

  RunReport run() {
    const RunReport report = runKeeping(RunRequest(source(), site(), TREVANTO_TEMPLATES_DIR));
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.exportProblem, "");
    return report;
  }

  // Whether the run rebuilt export/bookmarks.html (it is replaced whole, so it gets a new inode).
  bool rebuildsExport() {
    const ino_t before = fs::exists(exported(kBookmarksFileName)) ? inodeOf(exported(kBookmarksFileName)) : 0;
    run();
    return inodeOf(exported(kBookmarksFileName)) != before;
  }
  static ino_t inodeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
  }

  TempFolder root_;
};

}  // namespace

TEST_F(QuietRerunTest, unchangedRerunChangesNothingAndSyncsNothing) {
  run();
  const Tree before = treeOf(site());
  takeSynced();

  const RunReport again = run();
  EXPECT_EQ(again.RepeatCount, 12);
  EXPECT_EQ(treeOf(site()), before);
  EXPECT_TRUE(takeSynced().empty());

  // Shortcuts that add nothing (a repeat in a section of its own page) change nothing either.
  writeShortcut(source() / "S1", "Repeat", "http://s1.example/2");
  EXPECT_EQ(run().RepeatCount, 13);
  EXPECT_EQ(treeOf(site()), before);
}

TEST_F(QuietRerunTest, exportIsRebuiltWhenAPageTheMenuOrAnExportFileChanged) {
  run();
  EXPECT_FALSE(rebuildsExport());

  // A link line added by hand to a page.
  {
    PageAppender page(site() / "S1.html");
    page.appendLine("<a href=\"http://hand.example/\" target=index>by hand</a><br>");
  }
  EXPECT_TRUE(rebuildsExport());
  EXPECT_NE(readFile(exported(kBookmarksFileName)).find("http://hand.example/"), std::string::npos);
  EXPECT_FALSE(rebuildsExport());

  // A section page the menu does not list, copied in.
  writeFile(site() / "Copied.html", sectionHeaderLine() + "\r\n" + linkOf("http://copied.example/", "copied"));
  EXPECT_TRUE(rebuildsExport());
  EXPECT_NE(readFile(exported(kBookmarksFileName)).find("http://copied.example/"), std::string::npos);

  // The menu page replaced by one of the same size.
  const std::string menu = readFile(site() / "Frame2.html");
  fs::remove(site() / "Frame2.html");
  writeFile(site() / "Frame2.html", menu);
  EXPECT_TRUE(rebuildsExport());

  // An export file edited, or removed; the stamp of another format, or damaged.
  writeFile(exported(kSearchDataFileName), "edited");
  EXPECT_TRUE(rebuildsExport());
  EXPECT_NE(readFile(exported(kSearchDataFileName)), "edited");
  fs::remove(exported(kSearchScriptName));
  run();
  EXPECT_EQ(readFile(exported(kSearchScriptName)), readFile(fs::path(TREVANTO_TEMPLATES_DIR) / "search.js"));
  std::string stamp = readFile(exported(kExportStampName));
  const std::size_t format = stamp.find("\nformat ") + 8;
  writeFile(exported(kExportStampName), stamp.substr(0, format) + "0" + stamp.substr(format + 1));
  EXPECT_TRUE(rebuildsExport());
  writeFile(exported(kExportStampName), readFile(exported(kExportStampName)).substr(0, 100));
  EXPECT_TRUE(rebuildsExport());
  fs::remove(exported(kExportStampName));
  EXPECT_TRUE(rebuildsExport());
  EXPECT_FALSE(rebuildsExport());

  // A run that adds a link rebuilds it as it always has.
  writeShortcut(source() / "S2", "New", "http://s2.example/new");
  EXPECT_TRUE(rebuildsExport());
  EXPECT_NE(readFile(exported(kBookmarksFileName)).find("http://s2.example/new"), std::string::npos);
}

TEST_F(QuietRerunTest, pagesARunWroteAreSyncedBeforeItReturns) {
  run();
  std::multiset<std::string> synced = takeSynced();
  for (const char* page : {"S0.html", "S1.html", "S2.html", "Frame2.html"}) {
    EXPECT_EQ(synced.count((site() / page).string()), 1u) << page;
  }
  EXPECT_GE(synced.count(site().string()), 1u) << "the new pages' names";
  EXPECT_GE(synced.count((site() / "export").string()), 1u);

  // A link added to one section: its page, once; no other page.
  writeShortcut(source() / "S1", "New", "http://s1.example/new");
  run();
  synced = takeSynced();
  EXPECT_EQ(synced.count((site() / "S1.html").string()), 1u);
  EXPECT_EQ(synced.count((site() / "S0.html").string()), 0u);
  EXPECT_EQ(synced.count((site() / "Frame2.html").string()), 0u);

  // A run stopped on request keeps what it wrote as well.
  writeShortcut(source() / "S2", "New", "http://s2.example/new");
  writeShortcut(source() / "S3", "First", "http://s3.example/first");
  RunRequest request(source(), site(), TREVANTO_TEMPLATES_DIR);
  int asked = 0;
  request.stopRequested = [&asked] { return ++asked > 14; };  // after S2 and its new link, before S3
  const RunReport stopped = runKeeping(request);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_EQ(stopped.ConvertedCount, 1);
  EXPECT_EQ(takeSynced().count((site() / "S2.html").string()), 1u);
}

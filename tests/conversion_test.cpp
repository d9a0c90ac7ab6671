// SPDX-License-Identifier: MIT
#include "site/conversion.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "site/page_format.h"
#include "site/site_files.h"
#include "kept_collections.h"
#include "test_support.h"

using namespace trevanto::base;
using namespace trevanto::site;
using trevanto::testing::linkOf;
using trevanto::testing::menuOf;
using trevanto::testing::readFile;
using trevanto::testing::runKeeping;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;
using trevanto::testing::writeShortcut;
namespace fs = std::filesystem;

namespace {

const std::string kSectionHeader = "<body bgColor=#BBC4C1><P align=center> <FONT color=#808080 face=Arial size=1>\r\n";
// u8"ГЛАВНАЯ СТРАНИЦА" in Windows-1251.
const std::string kMenuHeader =
    "<body bgColor=#BBC4C1><hr /><a href=\"Frame3.html\" target=Frame3 face=Arial size=2><P align=center>"
    "<FONT color=\"#FF0000\"><B>\xC3\xCB\xC0\xC2\xCD\xC0\xDF \xD1\xD2\xD0\xC0\xCD\xC8\xD6\xC0</B></font></a><br>"
    "<P align=center> <FONT color=#000040 face=Arial size=4>\r\n";

class ConversionRunTest : public ::testing::Test {
 protected:
  fs::path source() const { return root_ / "source"; }
  fs::path site() const { return root_ / "site"; }
  std::string page(const std::string& name) const { return readFile(site() / pathOf(name)); }

  void SetUp() override {
    fs::create_directories(source());
    fs::create_directories(site());
  }

  RunReport run() {
    RunRequest request(source(), site(), TREVANTO_TEMPLATES_DIR);
    return runKeeping(request);
  }

  TempFolder root_;
};

}  // namespace

TEST_F(ConversionRunTest, firstRunWritesEveryPageByteForByte) {
  writeShortcut(source() / "News", "Daily", "http://news.example/daily");
  const RunReport report = run();
  EXPECT_EQ(report.error, "");
  EXPECT_EQ(report.ConvertedCount, 1);
  EXPECT_EQ(report.NewSectionCount, 1);
  EXPECT_EQ(report.RepeatCount, 0);
  EXPECT_EQ(page("News.html"), kSectionHeader + linkOf("http://news.example/daily", "Daily"));
  EXPECT_EQ(page("Frame2.html"), kMenuHeader + menuOf("News.html", "News"));
  for (std::string_view name : kTemplateNames) {
    EXPECT_EQ(page(std::string(name)), readFile(fs::path(TREVANTO_TEMPLATES_DIR) / std::string(name)));
  }
  EXPECT_EQ(std::count_if(fs::directory_iterator(site()), fs::directory_iterator(),
                          [](const fs::directory_entry& entry) { return entry.is_regular_file(); }),
            5);
  EXPECT_TRUE(fs::is_directory(site() / "export"));
}

#ifndef _WIN32  // its folder names hold "<", ">" and "|", which Windows refuses in names
TEST_F(ConversionRunTest, sectionsAndLinksFollowTheNameOrderAndNamesAreEscaped) {
  writeShortcut(source() / "b", "Zeta", "http://z.example/");
  writeShortcut(source() / "b", "alpha", "http://a.example/\"<x>");
  writeFile(source() / "b" / "Beta.URL", "[InternetShortcut]\r\nURL=http://b.example/\xD0\xB3\r\n");
  writeShortcut(source() / "A & <B>", "Tom & Jerry", "http://t.example/");
  writeShortcut(source() / "\xD0\x9D\xD0\xBE\xD0\xB2", "\xD0\x81\xD0\xB6", "http://y.example/");
  writeShortcut(source(), "top-level", "http://ignored.example/");
  writeFile(source() / "b" / "notes.txt", "URL=http://ignored.example/");

  const RunReport report = run();
  EXPECT_EQ(report.error, "");
  EXPECT_EQ(report.ConvertedCount, 5);
  EXPECT_EQ(page("b.html"), kSectionHeader + linkOf("http://a.example/%22%3Cx%3E", "alpha") +
                                linkOf("http://b.example/%D0%B3", "Beta") + linkOf("http://z.example/", "Zeta"));
  EXPECT_EQ(page("A & <B>.html"), kSectionHeader + linkOf("http://t.example/", "Tom &amp; Jerry"));
  EXPECT_EQ(page("\xD0\x9D\xD0\xBE\xD0\xB2.html"), kSectionHeader + linkOf("http://y.example/", "\xA8\xE6"));
  EXPECT_EQ(page("Frame2.html"), kMenuHeader + menuOf("A & %3CB%3E.html", "A &amp; &lt;B&gt;") + menuOf("b.html", "b") +
                                     menuOf("%D0%9D%D0%BE%D0%B2.html", "\xCD\xEE\xE2"));
}
#endif

TEST_F(ConversionRunTest, dotFoldersAreSectionsLikeAnyOther) {
  writeShortcut(source() / ".NET", "Docs", "http://dotnet.example/");
  writeShortcut(source() / "Web", "Site", "http://web.example/");
  writeFile(source() / ".git" / "config", "[core]\n");
  writeShortcut(source() / ".git" / "objects", "deeper", "http://deeper.example/");
  fs::create_directories(source() / "Web" / ".cache.url");

  const RunReport report = run();
  EXPECT_EQ(report.error, "");
  EXPECT_EQ(report.ConvertedCount, 2);
  EXPECT_EQ(report.NewSectionCount, 2);
  EXPECT_EQ(page(".NET.html"), kSectionHeader + linkOf("http://dotnet.example/", "Docs"));
  EXPECT_EQ(page("Frame2.html"), kMenuHeader + menuOf(".NET.html", ".NET") + menuOf("Web.html", "Web"));
  EXPECT_FALSE(fs::exists(site() / ".git.html"));  // no shortcut at its top: nothing to write
  ASSERT_EQ(report.skipped.size(), 1u);            // a folder named like a shortcut is named, dot or not
  EXPECT_EQ(report.skipped[0].name, ".cache");
}

TEST_F(ConversionRunTest, reRunWritesNothingAndCountsRepeats) {
  writeShortcut(source() / "News", "One", "http://one.example/");
  writeShortcut(source() / "News", "Two", "http://two.example/");
  writeShortcut(source() / "Other", "One again", "http://one.example/");
  ASSERT_EQ(run().ConvertedCount, 3);
  std::map<std::string, std::string> before;
  for (const auto& entry : fs::directory_iterator(site())) {
    if (entry.is_regular_file()) before[entry.path().filename().string()] = readFile(entry.path());
  }
  const auto indexTime = fs::last_write_time(site() / "Index.html");

  const RunReport again = run();
  EXPECT_EQ(again.ConvertedCount, 0);
  EXPECT_EQ(again.NewSectionCount, 0);
  EXPECT_EQ(again.RepeatCount, 3);
  for (const auto& [name, bytes] : before) EXPECT_EQ(page(name), bytes) << name;
  EXPECT_EQ(fs::last_write_time(site() / "Index.html"), indexTime);  // not even the templates are copied
}

// Names as old disks and new ones hold them: Windows-1251 bytes (a folder copied from an old
// disk), emoji and other characters beyond the first plane, Greek and Japanese. A page takes its
// folder's name as the disk holds it (on Windows, where names are UTF-16, the Windows-1251 name
// reads as what it says), its text is Windows-1251 with what that lacks as character references,
// and a second run finds every link a repeat.
TEST_F(ConversionRunTest, namesInWindows1251BytesAndBeyondTheFirstPlaneMakePagesThatReadBack) {
  const std::string work1251 = "\xD0\xE0\xE1\xEE\xF2\xE0";  // "Работа"
  writeShortcut(source() / pathOf(work1251), "\xCF\xEE\xF7\xF2\xE0", "http://mail.example/");  // "Почта"
  writeShortcut(source() / pathOf("Новости 📰"), "Утро 😀", "http://news.example/morning");
  writeShortcut(source() / pathOf("🎵"), "𝄞 Ноты", "http://notes.example/");
  writeShortcut(source() / pathOf("Ελληνικά"), "Αθήνα", "http://athens.example/");
  writeShortcut(source() / pathOf("日本語"), "東京", "http://tokyo.example/");
#ifdef _WIN32
  const std::string workPage = "Работа.html";
  const std::string workReference = "%D0%A0%D0%B0%D0%B1%D0%BE%D1%82%D0%B0.html";
#else
  const std::string workPage = work1251 + ".html";
  const std::string workReference = "%D0%E0%E1%EE%F2%E0.html";
#endif

  const RunReport report = runKeeping(RunRequest(source(), site(), TREVANTO_TEMPLATES_DIR));
  ASSERT_EQ(report.error, "");
  EXPECT_EQ(report.ConvertedCount, 5);
  EXPECT_EQ(report.NewSectionCount, 5);
  EXPECT_TRUE(report.skipped.empty());
  EXPECT_EQ(readFile(site() / pathOf(workPage)), kSectionHeader + linkOf("http://mail.example/", "\xCF\xEE\xF7\xF2\xE0"));
  EXPECT_EQ(page("Новости 📰.html"), kSectionHeader + linkOf("http://news.example/morning", "\xD3\xF2\xF0\xEE &#128512;"));
  EXPECT_EQ(page("🎵.html"), kSectionHeader + linkOf("http://notes.example/", "&#119070; \xCD\xEE\xF2\xFB"));
  EXPECT_EQ(page("日本語.html"), kSectionHeader + linkOf("http://tokyo.example/", "&#26481;&#20140;"));
  const std::string menu = page("Frame2.html");
  for (const std::string& line :
       {menuOf(workReference, work1251), menuOf("%F0%9F%8E%B5.html", "&#127925;"),
        menuOf("%D0%9D%D0%BE%D0%B2%D0%BE%D1%81%D1%82%D0%B8 %F0%9F%93%B0.html", "\xCD\xEE\xE2\xEE\xF1\xF2\xE8 &#128240;"),
        menuOf("%E6%97%A5%E6%9C%AC%E8%AA%9E.html", "&#26085;&#26412;&#35486;")}) {
    EXPECT_NE(menu.find(line), std::string::npos) << line;
  }

  const RunReport again = runKeeping(RunRequest(source(), site(), TREVANTO_TEMPLATES_DIR));
  EXPECT_EQ(again.ConvertedCount, 0);
  EXPECT_EQ(again.NewSectionCount, 0);
  EXPECT_EQ(again.RepeatCount, 5);
  EXPECT_EQ(page("Frame2.html"), menu);
}

TEST_F(ConversionRunTest, grownCollectionAppendsOnlyWhatIsNew) {
  writeShortcut(source() / "News", "One", "http://one.example/");
  run();
  const std::string menuBefore = page("Frame2.html");
  writeShortcut(source() / "News", "Two", "http://two.example/");
  writeShortcut(source() / "News", "Zwei", "http://two.example/");
  writeShortcut(source() / "Later", "Three", "http://three.example/");
  const RunReport report = run();
  EXPECT_EQ(report.ConvertedCount, 2);
  EXPECT_EQ(report.NewSectionCount, 1);
  EXPECT_EQ(report.RepeatCount, 2);
  EXPECT_EQ(page("News.html"),
            kSectionHeader + linkOf("http://one.example/", "One") + linkOf("http://two.example/", "Two"));
  EXPECT_EQ(page("Frame2.html"), menuBefore + menuOf("Later.html", "Later"));
}

TEST_F(ConversionRunTest, addressThatBeginsALongerOneOrStandsInANameIsNotARepeat) {
  writeShortcut(source() / "S", "ftp:a.example", "http://a.example/xy");
  writeShortcut(source() / "S", "x", "http://a.example/x");
  writeShortcut(source() / "S", "z", "ftp:a.example");
  const RunReport report = run();
  EXPECT_EQ(report.ConvertedCount, 3);
  EXPECT_EQ(report.RepeatCount, 0);
}

TEST_F(ConversionRunTest, deletedMenuPageIsStartedAgainWithNewSectionsOnly) {
  writeShortcut(source() / "Old", "One", "http://one.example/");
  run();
  fs::remove(site() / "Frame2.html");
  writeShortcut(source() / "Old", "Two", "http://two.example/");
  writeShortcut(source() / "Young", "Three", "http://three.example/");
  run();
  EXPECT_EQ(page("Frame2.html"), kMenuHeader + menuOf("Young.html", "Young"));
}

#ifndef _WIN32  // Windows names ignore letter case: two pages differing in case are one file there
TEST_F(ConversionRunTest, pageNamesCompareExactlyAndReservedNamesAreNotSections) {
  writeFile(site() / "news.html", "someone else's page\r\n");
  writeShortcut(source() / "News", "One", "http://one.example/");
  writeShortcut(source() / "Index", "Two", "http://two.example/");
  writeShortcut(source() / "Frame2", "Three", "http://three.example/");
  // The site's own pages in another letter case: one file on a disk that ignores case.
  writeFile(site() / "index.html", "a section page an earlier version wrote\r\n");
  for (const char* folder : {"index", "FRAME2", "frame1"}) writeShortcut(source() / folder, "Four", "http://four.example/");
  const RunReport report = run();
  EXPECT_EQ(report.NewSectionCount, 1);
  EXPECT_EQ(page("news.html"), "someone else's page\r\n");
  EXPECT_EQ(page("News.html"), kSectionHeader + linkOf("http://one.example/", "One"));
  EXPECT_EQ(page("index.html"), "a section page an earlier version wrote\r\n");
  EXPECT_FALSE(fs::exists(site() / "FRAME2.html"));
  EXPECT_FALSE(fs::exists(site() / "frame1.html"));
  std::vector<std::string> skipped;
  for (const SkippedShortcut& section : report.skipped) skipped.push_back(section.section + ": " + section.reason);
  std::sort(skipped.begin(), skipped.end());
  EXPECT_EQ(skipped, (std::vector<std::string>{"FRAME2: имя раздела совпадает с именем страницы меню",
                                               "Frame2: имя раздела совпадает с именем страницы меню",
                                               "Index: имя раздела совпадает с именем страницы шаблона",
                                               "frame1: имя раздела совпадает с именем страницы шаблона",
                                               "index: имя раздела совпадает с именем страницы шаблона"}));
}
#endif

TEST_F(ConversionRunTest, siteBuiltByAnEarlierVersionGetsNoNewDuplicates) {
  // Shortcuts as Explorer writes them; the page holds the links the earlier cut produced.
  const std::string favourite = "[InternetShortcut]\r\nURL=http://fav.example/\r\nModified=ABCD\r\n";
  writeFile(source() / "S" / "Fav.url", favourite);
  writeShortcut(source() / "S", "Plain", "http://plain.example/page");
  writeShortcut(source() / "S", "Fresh", "http://fresh.example/");
  writeFile(site() / "S.html", kSectionHeader + linkOf("http://fav.example/\r\nModified=ABC", "Fav") +
                                   linkOf("http://plain.example/pag", "Plain"));
  const RunReport report = run();
  EXPECT_EQ(report.error, "");
  EXPECT_EQ(report.RepeatCount, 2);
  EXPECT_EQ(report.ConvertedCount, 1);
  EXPECT_EQ(report.NewSectionCount, 0);
  EXPECT_EQ(run().RepeatCount, 3);
}

TEST_F(ConversionRunTest, oldLinkTextNeverHidesAnotherShortcutsLink) {
  // The earlier version wrote "http://a.example/x" for ".../xy" and ".../" for ".../x".
  writeShortcut(source() / "S", "1 xy", "http://a.example/xy");
  writeShortcut(source() / "S", "2 x", "http://a.example/x");
  // Two shortcuts whose old texts are the same but whose addresses differ.
  writeShortcut(source() / "S", "3 q1", "http://q.example/1");
  writeShortcut(source() / "S", "4 q2", "http://q.example/2");
  writeFile(site() / "S.html", kSectionHeader + linkOf("http://a.example/x", "1 xy") +
                                   linkOf("http://a.example/", "2 x") + linkOf("http://q.example/", "3 q1"));
  const RunReport report = run();
  EXPECT_EQ(report.RepeatCount, 2);  // "2 x" (its address stands as a link) and "3 q1"
  EXPECT_EQ(report.ConvertedCount, 2);
  EXPECT_NE(page("S.html").find(linkOf("http://a.example/xy", "1 xy")), std::string::npos);
  EXPECT_NE(page("S.html").find(linkOf("http://q.example/2", "4 q2")), std::string::npos);
  EXPECT_EQ(run().ConvertedCount, 0);
}

TEST_F(ConversionRunTest, badShortcutsAreSkippedAndReportedWhileTheRunGoesOn) {
  writeShortcut(source() / "S", "a good", "http://good.example/");
  writeFile(source() / "S" / "b empty.url", "[InternetShortcut]\r\n");
  writeShortcut(source() / "S", "c script", "\tJavaScript:alert(1)");
  fs::create_directory(source() / "S" / "d folder.url");
  writeShortcut(source() / "S", "e good", "http://good2.example/");
  writeFile(source() / "Only bad" / "x.url", "nothing here");
  const RunReport report = run();
  EXPECT_EQ(report.error, "");
  EXPECT_EQ(report.ConvertedCount, 2);
  ASSERT_EQ(report.skipped.size(), 4u);
  EXPECT_EQ(report.skipped[0].section, "Only bad");
  EXPECT_EQ(report.skipped[1].name, "b empty");
  EXPECT_EQ(report.skipped[2].name, "c script");
  EXPECT_EQ(report.skipped[3].name, "d folder");
  EXPECT_FALSE(fs::exists(site() / "Only bad.html"));
  EXPECT_EQ(page("S.html").find("script"), std::string::npos);
}

TEST_F(ConversionRunTest, siteSideFailuresStopTheRunNamingTheFile) {
  writeShortcut(source() / "S", "a", "http://a.example/");
  RunRequest request(source(), site() / "missing", TREVANTO_TEMPLATES_DIR);
  RunReport report = runKeeping(request);
  EXPECT_NE(report.error.find((site() / "missing").string()), std::string::npos) << report.error;

  request.siteFolder = site();
  request.programFolder = root_ / "no-templates";
  report = runKeeping(request);
  EXPECT_NE(report.error.find("Frame1.html"), std::string::npos) << report.error;
  // Nothing is written before the templates are at hand, and the next run with them completes the site.
  EXPECT_EQ(report.ConvertedCount, 0);
  EXPECT_FALSE(fs::exists(site() / "S.html"));
  EXPECT_EQ(run().ConvertedCount, 1);
  EXPECT_EQ(page("S.html"), kSectionHeader + linkOf("http://a.example/", "a"));
  EXPECT_TRUE(fs::exists(site() / "Index.html"));

  request.sourceFolder = source() / "gone";
  EXPECT_NE(runKeeping(request).error.find("gone"), std::string::npos);
}

#ifndef _WIN32  // Windows files have no mode bits and no umask
TEST_F(ConversionRunTest, newFilesTakeTheModeTheUmaskGives) {
  writeShortcut(source() / "S", "a", "http://a.example/");
  const mode_t before = ::umask(027);
  const RunReport report = run();
  ::umask(before);
  ASSERT_EQ(report.error, "");
  for (const auto& entry : fs::recursive_directory_iterator(site())) {
    EXPECT_EQ(fs::status(entry.path()).permissions(), fs::perms(entry.is_directory() ? 0750 : 0640)) << entry.path();
  }
  EXPECT_TRUE(fs::exists(site() / "export" / "bookmarks.html"));
}
#endif

TEST_F(ConversionRunTest, temporaryFilesAKilledRunLeftAreRemovedAndNothingElse) {
  writeShortcut(source() / "S", "a", "http://a.example/");
  const std::vector<std::string> leftovers = {".trevanto-page.Ab12Cd", ".Frame1.html.x1Y2z3", ".Index.html.000000"};
  const std::vector<std::string> kept = {".trevanto-page.html", ".Frame1.html.bak", ".Frame2.html.abcdef",
                                         "trevanto-page.Ab12Cd", ".Frame3.html.a.html"};
  for (const auto& name : leftovers) writeFile(site() / name, "half");
  for (const auto& name : kept) writeFile(site() / name, "mine");
  ASSERT_EQ(run().error, "");
  for (const auto& name : leftovers) EXPECT_FALSE(fs::exists(site() / name)) << name;
  for (const auto& name : kept) EXPECT_EQ(page(name), "mine") << name;
}

TEST_F(ConversionRunTest, pageLeftEmptyByAPowerCutGetsItsHeaderLineFirst) {
  writeShortcut(source() / "S", "a", "http://a.example/");
  ASSERT_EQ(run().error, "");
  writeFile(site() / "S.html", "");
  writeShortcut(source() / "S", "b", "http://b.example/");
  ASSERT_EQ(run().error, "");
  EXPECT_EQ(page("S.html"), kSectionHeader + linkOf("http://a.example/", "a") + linkOf("http://b.example/", "b"));
}

TEST_F(ConversionRunTest, secondRunOnTheSameSiteFolderIsRefused) {
  writeShortcut(source() / "S", "a", "http://a.example/");
  SiteFolderLock held(site());
  const RunReport report = run();
  EXPECT_NE(report.error.find("занята"), std::string::npos) << report.error;
  EXPECT_FALSE(fs::exists(site() / "S.html"));
}

TEST_F(ConversionRunTest, progressIsReportedAndAStopComesBetweenTwoShortcuts) {
  for (int i = 0; i < 5; ++i)
    writeShortcut(source() / "S", "n" + std::to_string(i), "http://" + std::to_string(i) + ".example/");
  RunRequest request(source(), site(), TREVANTO_TEMPLATES_DIR);
  std::vector<std::int64_t> seen;
  request.onProgress = [&seen](const RunProgress& progress) {
    EXPECT_EQ(progress.total, 5);
    EXPECT_EQ(progress.section, "S");
    seen.push_back(progress.done);
  };
  request.stopRequested = [&seen] { return seen.size() == 3; };
  const RunReport report = runKeeping(request);
  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.ConvertedCount, 3);
  EXPECT_EQ(seen, (std::vector<std::int64_t>{0, 1, 2}));
  EXPECT_EQ(run().ConvertedCount, 2);
}

// Without deeper folders as sections, the report names each folder below a section that holds
// shortcuts, with how many, and the shortcuts directly in the source folder; the pages are as
// they always were.
TEST_F(ConversionRunTest, deeperFoldersAndTheSourceFoldersOwnShortcutsAreNamedWithCounts) {
  writeShortcut(source() / "Links", "a", "http://a.example/");
  for (const char* name : {"b", "c", "d"}) writeShortcut(source() / "Links" / u8"Работа", name, "http://b.example/" + std::string(name));
  for (const char* name : {"e", "f"}) writeShortcut(source() / "Links" / u8"Работа" / u8"Проекты", name, "http://e.example/" + std::string(name));
  fs::create_directories(source() / "Links" / u8"Пустая" / u8"Тоже");
  writeShortcut(source(), "loose", "http://loose.example/");
#ifndef _WIN32  // symbolic links on Windows need a right ordinary users lack
  fs::create_directory_symlink(source() / "Links", source() / "Links" / u8"Работа" / u8"Назад");  // a way back up
#endif

  const RunReport report = run();
  ASSERT_EQ(report.error, "");
  EXPECT_EQ(report.ConvertedCount, 1);
  EXPECT_EQ(page("Links.html"), kSectionHeader + linkOf("http://a.example/", "a"));
  EXPECT_EQ(report.shortcutsInSourceFolder, 1);
  ASSERT_EQ(report.unvisited.size(), 1u);
  EXPECT_EQ(report.unvisited[0].path, "Links/Работа");
  EXPECT_EQ(report.unvisited[0].shortcuts, 5);
  const std::vector<std::string> lines = statisticsLines(report);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[3], "Не просмотрено ярлыков в самой исходной папке : 1 (раздел — только папка внутри неё)");
  EXPECT_EQ(lines[4], "Не просмотрено вложенных папок : 1 (ярлыков в них : 5)");
  EXPECT_EQ(lines[5], "Links/Работа : ярлыков 5");
  EXPECT_NE(lines[6].find("--nested"), std::string::npos);
}

// With them, each folder below a section is a section of its own after it, named by its path;
// a link back up is read once; a second run finds every link a repeat.
TEST_F(ConversionRunTest, deeperFoldersBecomeSectionsNamedByTheirPath) {
  writeShortcut(source() / "Links", "a", "http://a.example/");
  writeShortcut(source() / "Links" / "Work", "b", "http://b.example/");
  writeShortcut(source() / "Links" / "Work" / "Projects", "c", "http://c.example/");
  writeShortcut(source() / "Links" / "Archive", "d", "http://d.example/");
  writeShortcut(source() / "Zeta", "z", "http://z.example/");
#ifndef _WIN32  // symbolic links on Windows need a right ordinary users lack
  fs::create_directory_symlink(source() / "Links", source() / "Links" / "Work" / "Back");
#endif
  RunRequest request(source(), site(), TREVANTO_TEMPLATES_DIR);
  request.nestedSections = true;
  const RunReport report = runKeeping(request);
  ASSERT_EQ(report.error, "");
  EXPECT_EQ(report.ConvertedCount, 5);
  EXPECT_EQ(report.NewSectionCount, 5);
  EXPECT_TRUE(report.unvisited.empty());
  EXPECT_EQ(page("Links - Work - Projects.html"), kSectionHeader + linkOf("http://c.example/", "c"));
  // The menu in the order of the walk: a section, then the sections below it, in name order.
  const std::string menu = page("Frame2.html");
  std::size_t last = 0;
  for (const char* name : {"Links", "Links - Archive", "Links - Work", "Links - Work - Projects", "Zeta"}) {
    const std::size_t at = menu.find(">" + std::string(name) + "</a>");
    ASSERT_NE(at, std::string::npos) << name;
    EXPECT_GT(at, last) << name;
    last = at;
  }
  const RunReport again = runKeeping(request);
  EXPECT_EQ(again.ConvertedCount, 0);
  EXPECT_EQ(again.RepeatCount, 5);
}

TEST(Statistics, countsAndSkippedShortcutsInTheMessagesOwnWords) {
  RunReport report;
  report.ConvertedCount = 12;
  report.NewSectionCount = 0;
  report.RepeatCount = 3;
  EXPECT_EQ(statisticsMessage(report),
            "Было конвертировано : 12 ссылок.\n\rСоздано новых : 0 разделов.\n\rКол. во повторов ссылок : 3 .");
  for (int i = 0; i < 22; ++i) report.skipped.push_back({"S", "n" + std::to_string(i), "нет адреса"});
  report.skipped.push_back({"Locked", "", "папка не читается"});
  const std::vector<std::string> lines = statisticsLines(report);
  ASSERT_EQ(lines.size(), 3u + 2u + 20u + 1u);
  EXPECT_EQ(lines[3], "Пропущено ярлыков : 22");
  EXPECT_EQ(lines[4], "Пропущено разделов : 1");
  EXPECT_EQ(lines[5], "S / n0 : нет адреса");
  EXPECT_EQ(lines.back(), "... и ещё 3 .");
}

#ifndef _WIN32  // runs the program through a POSIX shell
TEST(CommandLine, exitCodesTellDoneFailedAndWrongUsage) {
  TempFolder root;
  writeShortcut(root / "src" / "S", "a", "http://a.example/");
  fs::create_directories(root / "site");
  const auto exitCode = [](const std::string& args) {
    const int status = std::system((std::string(TREVANTO_CONVERT_PATH) + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  const std::string src = (root / "src").string();
  const std::string site = (root / "site").string();
  EXPECT_EQ(exitCode(src + " " + site), 0);
  EXPECT_EQ(readFile(root / "site" / "S.html"), kSectionHeader + linkOf("http://a.example/", "a"));
  EXPECT_EQ(exitCode(src + " " + (root / "nowhere").string()), 1);
  EXPECT_EQ(exitCode(src), 2);
  EXPECT_EQ(exitCode("--bogus " + src + " " + site), 2);
}
#endif

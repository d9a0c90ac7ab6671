// SPDX-License-Identifier: MIT
#include "site/shortcut_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "test_support.h"

using namespace trevanto::site;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;

// --- The link text earlier versions wrote ----------------------------------------------

TEST(OldLinkText, dropsTheLastCharacterOfAnAddressOnTheLastLine) {
  EXPECT_EQ(oldLinkText("[InternetShortcut]\r\nURL=http://a.org/x\r\n"), "http://a.org/");
  EXPECT_EQ(oldLinkText("[InternetShortcut]\r\nURL=http://a.org/"), "http://a.org");
}

TEST(OldLinkText, dragsLaterLinesAlong) {
  EXPECT_EQ(oldLinkText("[InternetShortcut]\r\nURL=http://a.org/\r\nModified=ABCD\r\n"),
            "http://a.org/\r\nModified=ABC");
  // The first "URL" is the one inside BASEURL.
  EXPECT_EQ(oldLinkText("[DEFAULT]\r\nBASEURL=http://a.org/\r\n[InternetShortcut]\r\nURL=http://a.org/\r\n"),
            "http://a.org/\r\n[InternetShortcut]\r\nURL=http://a.org");
  // An empty line at the end is one more, empty field.
  EXPECT_EQ(oldLinkText("[InternetShortcut]\r\nURL=http://a.org/\r\n\r\n"), "http://a.org/\r");
}

TEST(OldLinkText, splitsFieldsAtCommasAndSkipsLeadingBlanks) {
  EXPECT_EQ(oldLinkText("URL=http://a.org/p,  query\r\n"), "http://a.org/p\r\nquer");
  EXPECT_EQ(oldLinkText("URL=http://a.org/p,q\r\n"), "http://a.org/p\r\n");
  EXPECT_EQ(OUT_Path("  \"quoted, field\" dropped,x\r\n,\r\n"), "quoted, field\r\nx\r\n\r\n\r\n");
  EXPECT_EQ(OUT_Path(""), "");
}

TEST(OldLinkText, isEmptyOrFailsWhereTheCutHasTooLittle) {
  EXPECT_EQ(oldLinkText("[InternetShortcut]\r\nurl=http://a.org/\r\n"), "");  // case differs
  EXPECT_EQ(oldLinkText(""), "");
  EXPECT_EQ(oldLinkText("[InternetShortcut]\r\nURL=x"), "");           // exactly four after "URL"
  EXPECT_EQ(oldLinkText("[InternetShortcut]\r\nURL="), std::nullopt);  // the cut fails
  EXPECT_EQ(oldLinkText("URL"), std::nullopt);
}

// --- The address ---------------------------------------------------------------------------

TEST(ShortcutAddress, readsTheShapesBrowsersAndExplorerWrite) {
  // Favourites with the property section before and after, Modified, IDList, IconFile.
  EXPECT_EQ(
      readShortcutAddress("[DEFAULT]\r\nBASEURL=http://base.example/\r\n"
                          "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,2\r\n"
                          "[InternetShortcut]\r\nIDList=\r\nURL=http://a.example/p?q=1,2;x#f\r\n"
                          "Modified=C0D1E2F3A4B5DA01\r\nIconFile=http://a.example/favicon.ico\r\nIconIndex=1\r\n"),
      "http://a.example/p?q=1,2;x#f");
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nURL=http://a.example/\r\n"
                                "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n"),
            "http://a.example/");
  // Line ends of any kind, no final line end, blanks and quotes around the value.
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\rURL=http://cr.example/\rModified=1\r"), "http://cr.example/");
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\nURL=http://lf.example/"), "http://lf.example/");
  EXPECT_EQ(readShortcutAddress(" [internetshortcut] \r\n\turl  =  \"http://q.example/a b\" \r\n"),
            "http://q.example/a b");
  // Byte-order marks.
  EXPECT_EQ(readShortcutAddress("\xEF\xBB\xBF[InternetShortcut]\r\nURL=http://a.example/\xD0\xB3\r\n"),
            "http://a.example/\xD0\xB3");
  const std::string utf16le("\xFF\xFEU\0R\0L\0=\0h\0t\0t\0p\0:\0/\0/\0w\0/\0", 28);
  EXPECT_EQ(readShortcutAddress(utf16le), "http://w/");
  // Windows-1251 without a mark.
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nURL=http://a.example/\xE3\r\n"), "http://a.example/\xD0\xB3");
}

TEST(ShortcutAddress, wideCopyWinsAndFirstShortcutSectionCounts) {
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nURL=http://a.example/???\r\n"
                                "[InternetShortcut.W]\r\nURL=http://a.example/+BDMEPgQ0-\r\n"),
            "http://a.example/\xD0\xB3\xD0\xBE\xD0\xB4");
  // A malformed wide copy leaves the ANSI one.
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nURL=http://a.example/x\r\n"
                                "[InternetShortcut.W]\r\nURL=http://a.example/+BD-\r\n"),
            "http://a.example/x");
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nURL=http://a.example/x+y\r\n"
                                "[InternetShortcut.W]\r\nURL=http://a.example/x+!y\r\n"),
            "http://a.example/x+y");
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nURL=http://a.example/?\r\n"
                                "[InternetShortcut.W]\r\nURL=http://a.example/+2D0-\r\n"),
            "http://a.example/?");
  EXPECT_EQ(
      readShortcutAddress("[Other]\r\nURL=http://other.example/\r\n[InternetShortcut]\r\nURL=http://a.example/\r\n"
                          "[InternetShortcut]\r\nURL=http://second.example/\r\n"),
      "http://a.example/");
}

TEST(ShortcutAddress, fallsBackToAnyUrlLineButNeverBaseUrl) {
  EXPECT_EQ(readShortcutAddress("[Other]\r\nURL=http://other.example/\r\n"), "http://other.example/");
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nIconIndex=0\r\n[X]\r\nurl=http://x.example/\r\n"),
            "http://x.example/");
  EXPECT_EQ(readShortcutAddress("[DEFAULT]\r\nBASEURL=http://base.example/\r\n[InternetShortcut]\r\nIconIndex=0\r\n"),
            "");
  EXPECT_EQ(readShortcutAddress("http://bare.example/\r\n"), "");
  EXPECT_EQ(readShortcutAddress("Just some notes, not a shortcut.\nURLs are nice.\n"), "");
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nURL=\r\n"), "");
  // The first URL line decides even when it is empty.
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nURL=\r\nURL=http://later.example/\r\n"), "");
  EXPECT_EQ(readShortcutAddress("[InternetShortcut]\r\nURL=\"\"\r\nURL=http://later.example/\r\n"), "");
  EXPECT_EQ(readShortcutAddress(""), "");
}

// The table the search's copy of the rule is tested over too (tests/search/search_test.js).
TEST(UnsafeAddress, schemesThatRunCodeAreCaughtAsBrowsersReadThem_overTheTableTheSearchSharesToo) {
  std::ifstream in(TREVANTO_RUNS_CODE_TABLE);
  ASSERT_TRUE(in) << TREVANTO_RUNS_CODE_TABLE;
  const nlohmann::json table = nlohmann::json::parse(in);
  ASSERT_GT(table.at("runs code").size(), 10u);
  for (const std::string address : table.at("runs code")) EXPECT_TRUE(isUnsafeAddress(address)) << address;
  for (const std::string address : table.at("safe")) EXPECT_FALSE(isUnsafeAddress(address)) << address;
}

TEST(UnsafeAddress, schemeAsRead_isTheOneReadingOfASchemeForCodeAndForQueries) {
  EXPECT_EQ(schemeAsRead(" \x01Pla&Tab;Ce&colon;sort=8"), "place");
  EXPECT_EQ(schemeAsRead("HTTPS://x.example/"), "https");
  EXPECT_EQ(schemeAsRead("no scheme here"), "");
  EXPECT_EQ(schemeAsRead("a-scheme-of-15c:x"), "a-scheme-of-15c");
  EXPECT_EQ(schemeAsRead("a-scheme-of-16ch:x"), "");
}

// --- The file ----------------------------------------------------------------------------

TEST(ShortcutFile, readsRegularFilesAndRefusesEverythingElseWithoutBlocking) {
  TempFolder folder;
  writeFile(folder / "ok.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  EXPECT_EQ(loadShortcutFile(folder / "ok.url").problem, trevanto::base::ReadProblem::None);
  EXPECT_EQ(loadShortcutFile(folder / "ok.url").bytes, "[InternetShortcut]\r\nURL=http://a.example/\r\n");

#ifndef _WIN32  // Windows has no FIFOs in folders
  ASSERT_EQ(::mkfifo((folder / "fifo.url").c_str(), 0644), 0);
  EXPECT_EQ(loadShortcutFile(folder / "fifo.url").problem, trevanto::base::ReadProblem::NotRegularFile);
#endif

  std::filesystem::create_directory(folder / "dir.url");
  EXPECT_EQ(loadShortcutFile(folder / "dir.url").problem, trevanto::base::ReadProblem::NotRegularFile);

#ifndef _WIN32  // a link on Windows needs a right ordinary users lack
  ASSERT_EQ(::symlink("nowhere", (folder / "dangling.url").c_str()), 0);
  const ShortcutFile dangling = loadShortcutFile(folder / "dangling.url");
  EXPECT_EQ(dangling.problem, trevanto::base::ReadProblem::Unreadable);
  EXPECT_FALSE(dangling.reason().empty());
#endif

  writeFile(folder / "big.url", "");
  std::filesystem::resize_file(folder / "big.url", kMaxShortcutBytes + 1);
  EXPECT_EQ(loadShortcutFile(folder / "big.url").problem, trevanto::base::ReadProblem::TooLarge);
  std::filesystem::resize_file(folder / "big.url", kMaxShortcutBytes);
  EXPECT_EQ(loadShortcutFile(folder / "big.url").problem, trevanto::base::ReadProblem::None);
}

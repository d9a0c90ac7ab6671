// SPDX-License-Identifier: MIT
// One URL in many spellings is one bookmark; names after hosts as they read; and what a
// hostile or unlucky import met: long addresses, a second import at once, a killed import's
// leftovers, dot folders, many folders deep and many bookmarks of one title.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "address/address_identity.h"
#include "import/importer.h"
#include "import/safe_names.h"
#include "base/files.h"
#include "base/path_text.h"
#include "test_support.h"

using namespace trevanto::import;
using trevanto::address::addressIdentity;
using trevanto::address::addressIdentityParsed;
using trevanto::address::readableHost;
using trevanto::testing::readFile;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;
namespace fs = std::filesystem;

namespace {

std::set<std::string> filesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

std::string netscapeFile(const std::string& items) {
  return "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
         "charset=UTF-8\">\n<DL><p>\n" +
         items + "</DL>\n";
}

std::string link(const std::string& address, const std::string& title) {
  return "<DT><A HREF=\"" + address + "\">" + title + "</A>\n";
}

TEST(AddressIdentity, spellingsABrowserReadsAsOneUrl_areOne) {
  const std::vector<std::pair<std::string, std::string>> same = {
      {"https://files.example.com/My Documents/read me.txt", "https://files.example.com/My%20Documents/read%20me.txt"},
      {"HTTPS://Code.Example.COM/Path/To/File", "https://code.example.com/Path/To/File"},
      {"http://x.example/dir\\sub", "http://x.example/dir/sub"},
      {"https://%D0%BF%D1%80%D0%B8%D0%BC%D0%B5%D1%80.%D1%80%D1%84/", "https://xn--e1afmkfd.xn--p1ai/"},
      {"https://пример.рф/путь", "https://XN--E1AFMKFD.xn--p1ai/%d0%bf%d1%83%d1%82%d1%8c"},
      {"https://x.example/?q='a'", "https://x.example/?q=%27a%27"},
      {"https://x.example:443/a/./b/../c", "https://x.example/a/c"},
      {"http://x.example:80", "http://x.example/"},
      {"  https://x.example/a\tb\n ", "https://x.example/ab"},
      {"MAILTO:Someone@Example.com?subject=%7e", "mailto:Someone@Example.com?subject=%7E"},
  };
  for (const auto& [a, b] : same) EXPECT_EQ(addressIdentity(a), addressIdentity(b)) << a << " / " << b;

  const std::vector<std::pair<std::string, std::string>> different = {
      {"https://x.example/Path", "https://x.example/path"},        // paths keep their case
      {"https://x.example:8443/", "https://x.example/"},           // a port of its own
      {"https://x.example/a?b", "https://x.example/a#b"},          // query is not fragment
      {"http://x.example/", "https://x.example/"},                 // nor one scheme another
      {"https://x.example/a\\b?c\\d", "https://x.example/a/b?c/d"},  // '\' stays in a query
      {"mailto:a@example.com", "mailto:b@example.com"},
  };
  for (const auto& [a, b] : different) EXPECT_NE(addressIdentity(a), addressIdentity(b)) << a << " / " << b;
  // The short way for addresses already serialized gives what the parser gives.
  for (const char* address :
       {"https://www.example.com/a/b?c=d&e=%C3%A9#frag", "http://x.example/", "https://x.example/a/./b",
        "https://x.example/a/../b", "https://x.example/a/.b/..c", "http://127.0.0.1/", "http://0x7f.1/",
        "https://x.example/?", "https://x.example/#", "https://x.example/%c3%a9", "https://x.example/%zz",
        "https://x.example/a?b=%", "https://x.example./", "https://x.example/a?q=[1]|2^3", "https://x.example/~u/;p=1",
        "https://xn--e1afmkfd.xn--p1ai/", "https://x.example/a?b#c?d", "https://x.example/.", "https://a..b/"}) {
    EXPECT_EQ(addressIdentity(address), addressIdentityParsed(address)) << address;
  }
  // Addresses of no URL shape survive whole.
  EXPECT_EQ(addressIdentity("not an address"), "not%20an%20address");
  EXPECT_EQ(addressIdentity(""), "");
}

TEST(ReadableHost, percentEncodingAndPunycodeDecodedElseAsItIs) {
  EXPECT_EQ(readableHost("%D0%BF%D1%80%D0%B8%D0%BC%D0%B5%D1%80.%D0%B8%D1%81%D0%BF%D1%8B%D1%82%D0%B0%D0%BD%D0%B8%D0%B5"),
            "пример.испытание");
  EXPECT_EQ(readableHost("xn--e1afmkfd.xn--80akhbyknj4f"), "пример.испытание");
  EXPECT_EQ(readableHost("www.example.com"), "www.example.com");
  EXPECT_EQ(readableHost("xn--zz.example"), "xn--zz.example");   // does not decode
  EXPECT_EQ(readableHost("%FF%FE.example"), "%FF%FE.example");   // not UTF-8
  EXPECT_EQ(shortcutBaseName("", "https://%D0%BF%D1%80%D0%B8%D0%BC%D0%B5%D1%80.%D0%B8%D1%81%D0%BF%D1%8B%D1%82%D0%B0"
                                 "%D0%BD%D0%B8%D0%B5/%D1%81%D1%82%D1%80"),
            "пример.испытание");
  EXPECT_EQ(shortcutBaseName("", "http://xn--e1afmkfd.xn--p1ai:8080/"), "пример.рф");
  EXPECT_EQ(shortcutBaseName("", "http://%2e%2e%2fetc/"), "_._etc");  // decoded, then made safe
}

class ImportEdgeTest : public ::testing::Test {
 protected:
  fs::path collection() const { return root_.path() / "collection"; }
  ImportReport import(const std::string& name, const std::string& bytes) {
    writeFile(root_.path() / name, bytes);
    ImportRequest request;
    request.inputs = {root_.path() / name};
    request.collection = collection();
    return runImport(request);
  }
  TempFolder root_;
};

TEST_F(ImportEdgeTest, browsersStandardFormsBackIntoTheCollection_alreadyThereEachKeptAsTheSourceHeldIt) {
  const std::string first = netscapeFile(link("https://files.example.com/My Documents/read me.txt", "Space in path") +
                                         link("HTTPS://Code.Example.COM/Path/To/File", "Upper case") +
                                         link("http://files.example.com/dir\\sub", "Backslash") +
                                         link("https://пример.рф/", "Кириллица") +
                                         link("https://q.example/?name='x'", "Quote"));
  ImportReport report = import("first.html", first);
  ASSERT_FALSE(report.failed()) << report.error;
  ASSERT_EQ(report.added, 5);
  EXPECT_EQ(readFile(collection() / u8"Закладки/Upper case.url"),
            "[InternetShortcut]\r\nURL=HTTPS://Code.Example.COM/Path/To/File\r\n");
  const std::string back = netscapeFile(
      link("https://files.example.com/My%20Documents/read%20me.txt", "Space in path") +
      link("https://code.example.com/Path/To/File", "Upper case") + link("http://files.example.com/dir/sub", "Backslash") +
      link("https://xn--e1afmkfd.xn--p1ai/", "Кириллица") + link("https://q.example/?name=%27x%27", "Quote"));
  report = import("back.html", back);
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.added, 0);
  EXPECT_EQ(report.alreadyThere, 5);
  EXPECT_EQ(filesIn(collection() / u8"Закладки").size(), 5u);
}

TEST_F(ImportEdgeTest, addressOverTheShortcutLimit_skippedAndNamedNeverWritten) {
  const std::string longAddress = "https://long.example/" + std::string(1024 * 1024, 'a');
  for (int run = 0; run < 2; ++run) {
    const ImportReport report = import("long.html", netscapeFile(link(longAddress, "LongAddress") +
                                                                 link("https://short.example/", "Short")));
    ASSERT_FALSE(report.failed()) << report.error;
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_EQ(report.skipped[0].title, "LongAddress");
    EXPECT_TRUE(report.skipped[0].reason.starts_with("адрес длиннее")) << report.skipped[0].reason;
  }
  EXPECT_EQ(filesIn(collection() / u8"Закладки"), (std::set<std::string>{"Short.url"}));
}

TEST_F(ImportEdgeTest, collectionLockedByAnotherImport_busyNothingWritten_thenLeftoversOfAKilledImportRemoved) {
  fs::create_directories(collection() / u8"Закладки");
  writeFile(collection() / u8"Закладки/.trevanto-import-99999999.tmp", "half");
  writeFile(collection() / u8"Закладки/.trevanto-import-99999999-3.tmp", "half");
  writeFile(collection() / u8"Закладки/.trevanto-import-notes.tmp", "someone's own");
  {
    std::error_code error;
    const trevanto::base::OpenFolder held = trevanto::base::OpenFolder::open(collection(), error);
    ASSERT_FALSE(error) << error.message();
    ASSERT_FALSE(held.tryLock());
    const ImportReport busy = import("a.html", netscapeFile(link("https://a.example/", "A")));
    ASSERT_TRUE(busy.failed());
    EXPECT_NE(busy.error.find("занята"), std::string::npos) << busy.error;
    EXPECT_NE(busy.error.find(trevanto::base::textOf(collection())), std::string::npos) << busy.error;
    EXPECT_FALSE(fs::exists(collection() / u8"Закладки/A.url"));
  }
  const ImportReport report = import("a.html", netscapeFile(link("https://a.example/", "A")));
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(filesIn(collection() / u8"Закладки"), (std::set<std::string>{"A.url", ".trevanto-import-notes.tmp"}));
}

TEST_F(ImportEdgeTest, dotFolders_inAFolderInputImported_andSeenInTheCollection) {
  const fs::path links = root_.path() / "links";
  writeFile(links / ".NET/docs.url", trevanto::testing::shortcutText("https://docs.example.com/net"));
  writeFile(links / "..hidden/x.url", trevanto::testing::shortcutText("https://x.example.com/"));
  ImportRequest request;
  request.inputs = {links};
  request.collection = collection();
  ImportReport report = runImport(request);
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.added, 2);
  EXPECT_TRUE(fs::exists(collection() / ".NET/docs.url"));
  EXPECT_TRUE(fs::exists(collection() / "_.hidden/x.url"));
  // The collection's own dot section is where the same bookmark already is.
  request.inputs = {collection()};
  report = runImport(request);
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.added, 0);
  EXPECT_EQ(report.alreadyThere, 2);
}

// Titles that are devices or names Windows cannot hold are written under safe names, every one a
// file of its own (on Windows "CON.url" would be the console, "a<b>" refused).
TEST_F(ImportEdgeTest, namesWindowsCannotHold_writtenUnderSafeNamesEachAFile) {
  std::string items = "<DT><H3>AUX</H3>\n<DL><p>\n" + link("https://in.example/", "nul.txt") + "</DL><p>\n";
  int n = 0;
  for (const char* title : {"CON", "com1", "a<b>|c?", "end. ", "Q: \"x\"*", "LPT9.txt"}) {
    items += link("https://t.example/" + std::to_string(n++), title);
  }
  const ImportReport report = import("devices.html", netscapeFile(items));
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.added, 7);
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(collection())) {
    if (!entry.is_regular_file()) continue;
    ++files;
    EXPECT_EQ(readFile(entry.path()).rfind("[InternetShortcut]", 0), 0u) << entry.path();
  }
  EXPECT_EQ(files, 7u);
}

TEST_F(ImportEdgeTest, deepNestingAndOneTitleManyTimes_sectionsAndNumbersAsBefore) {
  std::string items;
  for (int i = 0; i < 300; ++i) items += "<DT><H3>Уровень</H3>\n<DL><p>\n";
  items += link("https://deep.example/", "Глубоко");
  for (int i = 0; i < 300; ++i) items += "</DL><p>\n";
  items += link("https://top.example/", "Верх");
  for (int i = 0; i < 12; ++i) items += link("https://same.example/" + std::to_string(i), "Одно");
  const ImportReport report = import("deep.html", netscapeFile(items));
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.added, 14);
  std::vector<std::string> levels(300, "Уровень");
  const std::string deep = sectionName(levels, "Закладки");
  EXPECT_TRUE(fs::exists(collection() / trevanto::base::pathOf(deep) / u8"Глубоко.url")) << deep;
  std::set<std::string> expected = {"Верх.url", "Одно.url"};
  for (int n = 2; n <= 12; ++n) expected.insert("Одно (" + std::to_string(n) + ").url");
  EXPECT_EQ(filesIn(collection() / u8"Закладки"), expected);
  // A later import goes on past the numbers taken, filling none twice.
  const ImportReport more =
      import("more.html", netscapeFile(link("https://same.example/new1", "Одно") + link("https://same.example/new2", "ОДНО")));
  ASSERT_FALSE(more.failed()) << more.error;
  EXPECT_TRUE(fs::exists(collection() / u8"Закладки/Одно (13).url"));
  EXPECT_TRUE(fs::exists(collection() / u8"Закладки/ОДНО (14).url"));
}

}  // namespace

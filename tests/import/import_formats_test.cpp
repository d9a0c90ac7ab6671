// SPDX-License-Identifier: MIT
// Each reader over files shaped as browsers and exporters write them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/path_text.h"
#include "import/charset.h"
#include "import/formats.h"
#include "import/importer.h"
#include "import/places_reader.h"
#include "import/reader_registry.h"
#include "recording_sink.h"
#include "test_support.h"

using namespace trevanto::import;
using trevanto::testing::readFile;
using trevanto::testing::RecordingSink;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;
namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = TREVANTO_IMPORT_FIXTURES;

std::vector<std::string> netscape(const std::string& fixture) {
  RecordingSink sink;
  readNetscapeBookmarks(readFile(kFixtures / fixture), sink);
  return sink.events;
}

using Events = std::vector<std::string>;

TEST(NetscapeReader, firefoxExport_foldersNestedRootContainersLeftOutReferencesDecoded) {
  EXPECT_EQ(
      netscape("firefox.html"),
      (Events{"Начало работы = https://www.mozilla.org/ru/firefox/", "+Новости",
              "Лента & новости = https://lenta.example.ru/", "Мировые <новости> = https://news.example.com/?a=1&b=2",
              "+Спорт", "Футбол = https://sport.example.ru/футбол", "-", "-",
              "Закладка-скрипт = javascript:(function(){alert('x')})()",
              "Недавние метки = place:parent=toolbar_____&sort=12", "Вики = https://wiki.example.org/",
              "Вики = https://wiki.example.org/", "ВИКИ = https://other.example.org/", "+Работа",
              "../../etc/passwd = https://tracker.example.com/", "CON = https://con.example.com/",
              " = https://empty.example.com/page", "-", "Без папки = https://unfiled.example.net/"}));
}

TEST(NetscapeReader, otherExporters_chromeSafariAndGoogleShapes) {
  EXPECT_EQ(netscape("chrome.html"),
            (Events{"Почта = https://mail.example.ru/", "+Рецепты", "Борщ = https://food.example.com/борщ?x=1 2", "-",
                    "Другая закладка = https://other.example.com/"}));
  // Safari puts its top-level folders outside any <DL>.
  EXPECT_EQ(netscape("safari.html"),
            (Events{"+Favorites", "Apple = https://www.apple.example.com/", "-", "+Reading & Co",
                    "Статья = https://read.example.com/a", "-", "Top = https://top.example.com/"}));
  // No DOCTYPE line, but a <DL> of <DT><H3> folders and <DT><A> links.
  EXPECT_EQ(netscape("google.html"), (Events{"+Книги", "Библиотека = http://books.example.com/", "-", "+Без метки",
                                             "Что-то = http://nolabel.example.com/", "-"}));
  RecordingSink sink;
  EXPECT_THROW(readNetscapeBookmarks(readFile(kFixtures / "read-later.html"), sink), FormatError);
}

TEST(NetscapeReader, charsets_bomThenMetaThenUtf8ElseWindows1252) {
  EXPECT_EQ(netscape("cp1251.html"), (Events{"+Новости", "Почта = http://mail.example.ru/", "-"}));
  EXPECT_EQ(netscape("mac-roman.html"), (Events{"+Café", "Menö = http://cafe.example.com/", "-"}));
  EXPECT_EQ(netscape("mac-system-1252.html"), (Events{"Résumé = http://cv.example.com/"}));
  EXPECT_EQ(netscape("mac-system-utf8.html"), (Events{"Résumé = http://cv.example.com/"}));
  EXPECT_EQ(netscape("utf16-bom.html"), (Events{"Юникод = http://utf16.example.com/"}));
  EXPECT_EQ(htmlTextToUtf8("caf\xE9", ""), "café");            // undeclared, not UTF-8
  EXPECT_EQ(htmlTextToUtf8("caf\xC3\xA9", "utf-16"), "café");  // read as ASCII, so not UTF-16
  EXPECT_EQ(convertToUtf8("x", "UTF-8//TRANSLIT"), std::nullopt);
}

// The charsets old exports declare, read alike by iconv and by the code pages of Windows: the
// names as files spell them, a sequence cut off at the end as U+FFFD, no such charset as none.
TEST(Charsets, declaredCyrillicAndJapaneseCharsets_readAlikeOnEverySystem) {
  const std::string hello = "Привет";
  EXPECT_EQ(convertToUtf8("\xF0\xD2\xC9\xD7\xC5\xD4", "KOI8-R"), hello);
  EXPECT_EQ(convertToUtf8("\x8F\xE0\xA8\xA2\xA5\xE2", "cp866"), hello);
  EXPECT_EQ(convertToUtf8("\x8F\xE0\xA8\xA2\xA5\xE2", "IBM866"), hello);
  EXPECT_EQ(convertToUtf8("\xBF\xE0\xD8\xD2\xD5\xE2", "ISO-8859-5"), hello);
  EXPECT_EQ(convertToUtf8("\x8F\xF0\xE8\xE2\xE5\xF2", "x-mac-cyrillic"), hello);
  EXPECT_EQ(convertToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2", "windows-1251"), hello);
  EXPECT_EQ(convertToUtf8("\x93\xFA\x96\x7B", "Shift_JIS"), "日本");
  EXPECT_EQ(convertToUtf8("\x93\xFA\x96", "Shift_JIS"), "日\xEF\xBF\xBD");  // cut off
  EXPECT_EQ(convertToUtf8(std::string("A\0B", 3), "UTF-16LE"), "A\xEF\xBF\xBD");
  EXPECT_EQ(convertToUtf8("abc", "no-such-charset"), std::nullopt);
  EXPECT_TRUE(keepsAscii("KOI8-R"));
  EXPECT_FALSE(keepsAscii("UTF-7"));
}

TEST(ChromiumReader, bookmarksFile_threeRootsInOrderTrashAndSeparatorsLeftOut) {
  RecordingSink sink;
  readChromiumBookmarks(readFile(kFixtures / "Bookmarks"), sink);
  EXPECT_EQ(sink.events,
            (Events{"Поиск = https://search.example.com/", "+Работа", "Документация = https://docs.example.org/ru/",
                    "+Пустая", "-", "Скрипт = javascript:void(document.body.style.background='red')", "-",
                    "Прочее = https://misc.example.net/", "С телефона = https://mobile.example.com/"}));
  EXPECT_THROW(readChromiumBookmarks("{\"version\": 1}", sink), FormatError);
  EXPECT_THROW(readChromiumBookmarks("{\"roots\": ", sink), FormatError);
}

// Read as it streams in: a node's keys in any order, a key given twice counting as given last,
// and a folder of many entries that are no bookmarks read in one pass.
TEST(ChromiumReader, keysInAnyOrderLastOfTwiceCountsAndManyEmptyEntriesInOneFolder) {
  RecordingSink sink;
  readChromiumBookmarks(R"({"roots": {"synced": {"children": [{"type": "url", "url": "https://gone.example/"}]}},
                             "roots": {"synced": {"children": [{"type": "url", "url": "https://last.example/"}]}}})",
                        sink);
  EXPECT_EQ(sink.events, (Events{" = https://last.example/"}));

  sink.events.clear();
  readChromiumBookmarks(
      R"({"roots": {"other": {"children": [{"url": "https://o.example/", "type": "url", "name": "O"}]},
          "bookmark_bar": {"children": [
            {"children": [{"name": "In", "url": "https://in.example/", "type": "url"}], "name": "F", "type": "folder"},
            {"children": [{"name": "Lost", "url": "https://lost.example/", "type": "url"}], "type": "url",
             "url": "https://kept.example/", "name": "Url with children"},
            {"children": [{"name": "Lost", "url": "https://lost.example/", "type": "url"}], "type": "folder",
             "children": [], "name": "Second children"},
            {"type": "url", "url": "https://sep.example/", "meta_info": {"Separator": "true"}},
            {"name": "Twice", "name": 5, "type": "folder", "type": "url", "url": "https://twice.example/"}]}}})",
      sink);
  EXPECT_EQ(sink.events, (Events{"+F", "In = https://in.example/", "-", "Url with children = https://kept.example/",
                                 "+Second children", "-", " = https://twice.example/", "O = https://o.example/"}));

  std::string many = R"({"roots": {"bookmark_bar": {"children": [{"type": "folder", "name": "Many", "children": [)";
  for (int i = 0; i < 300'000; ++i) many += "{},";
  many += R"({"type": "url", "name": "After", "url": "https://after.example/"}]}]}}})";
  sink.events.clear();
  readChromiumBookmarks(many, sink);
  EXPECT_EQ(sink.events, (Events{"+Many", "After = https://after.example/", "-"}));
  EXPECT_THROW(readChromiumBookmarks("[{\"roots\": {}}]", sink), FormatError);
  EXPECT_THROW(readChromiumBookmarks("{\"roots\": {}} x", sink), FormatError);
}

TEST(LinkFiles, eachKindByContent_addressOrNone) {
  const fs::path links = kFixtures / "links";
  EXPECT_EQ(readLinkFile(readFile(links / u8"Стартовая.url")).address, "https://ie.example.com/start");
  EXPECT_EQ(readLinkFile(readFile(links / u8"Работа/wiki.desktop")).address, "https://wiki.example.org/Main Page");
  const LinkFile shellPath = readLinkFile(readFile(links / u8"Работа/home-notes.desktop"));
  EXPECT_TRUE(shellPath.known);
  EXPECT_EQ(shellPath.address, "");
  EXPECT_EQ(readLinkFile(readFile(links / u8"Работа/Инструменты/Трекер задач.webloc")).address,
            "https://tracker.example.com/board?id=1&view=all");
  EXPECT_EQ(readLinkFile(readFile(links / u8"Работа/Инструменты/Почта.webloc")).address,
            "https://mail.example.com/inbox");
  EXPECT_FALSE(readLinkFile(readFile(links / u8"Работа/Инструменты/._Почта.webloc")).known);
  EXPECT_FALSE(readLinkFile(readFile(links / "README")).known);
  EXPECT_FALSE(readLinkFile("[Desktop Entry]\nType=Application\nExec=x\n").known);
  EXPECT_EQ(linkFileTitle("Example.com.webloc"), "Example.com");
  EXPECT_EQ(linkFileTitle(".hidden"), ".hidden");
}

TEST(LinkFiles, folder_subfoldersAreFoldersOtherFilesCounted) {
  RecordingSink sink;
  readLinkFolder(kFixtures / "links", sink);
  EXPECT_EQ(sink.events, (Events{"+Работа", "home-notes = ", "wiki = https://wiki.example.org/Main Page",
                                 "+Инструменты", "Почта = https://mail.example.com/inbox",
                                 "Трекер задач = https://tracker.example.com/board?id=1&view=all", "-", "-",
                                 "Стартовая = https://ie.example.com/start"}));
  EXPECT_EQ(sink.passed, 2);  // the AppleDouble file and the README
}

TEST(LinkFiles, theFolderWalkTakesTheRegistrysLinkFileKinds_wholeBookmarkFilesArePassedOver) {
  std::vector<std::string> kinds;
  for (const Reader* reader : linkFileReaders()) {
    for (std::string_view extension : reader->linkFileExtensions()) kinds.emplace_back(extension);
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"webloc", "url", "desktop"}));
  TempFolder root;
  const fs::path folder = root / "links";
  writeFile(folder / "a.url", "[InternetShortcut]\r\nURL=https://a.example/\r\n");
  writeFile(folder / "bookmarks.xbel", "<xbel><bookmark href=\"https://x.example/\"/></xbel>");
  writeFile(folder / "huge.DESKTOP", std::string(2 << 20, '#'));  // named by its extension, any case
  writeFile(folder / "huge.txt", std::string(2 << 20, '#'));
  RecordingSink sink;
  readLinkFolder(folder, sink);
  EXPECT_EQ(sink.events, (Events{"a = https://a.example/", "skip huge: файл больше 1 МиБ"}));
  EXPECT_EQ(sink.passed, 2);
}

TEST(LinkFiles, namesNotInUtf8_readAsWindows1251ByTheCollectingSink) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows holds names in UTF-16: no name there is in another charset";
#endif
  TempFolder root;
  // u8"Работа/Почта.url", named on an old disk.
  writeFile(root / "links" / "\xD0\xE0\xE1\xEE\xF2\xE0" / "\xCF\xEE\xF7\xF2\xE0.url",
            "[InternetShortcut]\r\nURL=https://mail.example/\r\n");
  RecordingSink sink;
  readLinkFolder(root / "links", sink);
  EXPECT_EQ(sink.events, (Events{"+\xD0\xE0\xE1\xEE\xF2\xE0", "\xCF\xEE\xF7\xF2\xE0 = https://mail.example/", "-"}));
  ImportRequest request;
  request.inputs = {root / "links"};
  request.collection = root / "collection";
  const ImportReport report = runImport(request);
  ASSERT_TRUE(report.error.empty()) << report.error;
  EXPECT_TRUE(fs::exists(root / "collection" / u8"Работа" / u8"Почта.url"));
}

// A places.sqlite as Firefox lays it out, its content written to the -wal only.
class PlacesTest : public ::testing::Test {
 protected:
  void exec(const std::string& sql) {
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
  }
  void open(bool withGuids) {
    ASSERT_EQ(sqlite3_open(trevanto::base::textOf(folder_ / "places.sqlite").c_str(), &db_), SQLITE_OK);
    exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
    exec(
        "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, rev_host LONGVARCHAR,"
        " visit_count INTEGER DEFAULT 0, guid TEXT);");
    exec(std::string("CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL,"
                     " parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, dateAdded INTEGER") +
         (withGuids ? ", guid TEXT);" : ");"));
  }
  void TearDown() override { sqlite3_close(db_); }
  Events read() {
    RecordingSink sink;
    readPlacesDatabase(folder_ / "places.sqlite", sink);
    return sink.events;
  }
  TempFolder folder_;
  sqlite3* db_ = nullptr;
};

TEST_F(PlacesTest, rootsByGuid_tagsLeftOutBrokenChainToTopWalRead) {
  open(true);
  exec(
      "INSERT INTO moz_places (id, url) VALUES (1, 'https://lenta.example.ru/'), (2, 'https://mail.example.ru/'),"
      " (3, 'https://untitled.example.com/x'), (4, 'https://lost.example.com/'), (5, 'javascript:alert(1)');"
      "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES"
      " (1, 2, NULL, 0, 0, '', 'root________'), (2, 2, NULL, 1, 0, 'menu', 'menu________'),"
      " (3, 2, NULL, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, NULL, 1, 2, 'tags', 'tags________'),"
      " (5, 2, NULL, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, NULL, 1, 4, 'mobile', 'mobile______'),"
      " (10, 2, NULL, 2, 1, 'Новости', 'folder000010'), (11, 1, 1, 10, 0, 'Лента', 'bkmk00000011'),"
      " (12, 3, NULL, 10, 1, NULL, 'sepr00000012'), (13, 1, 5, 10, 2, 'Скрипт', 'bkmk00000013'),"
      " (14, 1, 2, 2, 0, 'Почта в меню', 'bkmk00000014'), (15, 1, 2, 3, 0, 'Почта', 'bkmk00000015'),"
      " (16, 2, NULL, 4, 0, 'работа', 'tag000000016'), (17, 1, 2, 16, 0, NULL, 'bkmk00000017'),"
      " (18, 1, 3, 5, 0, NULL, 'bkmk00000018'), (19, 1, 4, 999, 0, 'Потерянная', 'bkmk00000019'),"
      " (20, 1, NULL, 6, 0, 'Без адреса', 'bkmk00000020');");
  ASSERT_TRUE(fs::exists(folder_ / "places.sqlite-wal"));
  EXPECT_EQ(read(),
            (Events{"Почта в меню = https://mail.example.ru/", "+Новости", "Лента = https://lenta.example.ru/",
                    "Скрипт = javascript:alert(1)", "-", "Почта = https://mail.example.ru/",
                    " = https://untitled.example.com/x", "Без адреса = ", "Потерянная = https://lost.example.com/"}));
}

TEST_F(PlacesTest, oldFileWithoutGuids_rootsFromRootsTable) {
  open(false);
  exec(
      "CREATE TABLE moz_bookmarks_roots (root_name VARCHAR(16) UNIQUE, folder_id INTEGER);"
      "INSERT INTO moz_bookmarks_roots VALUES ('places', 1), ('menu', 2), ('toolbar', 3), ('tags', 4);"
      "INSERT INTO moz_places (id, url) VALUES (1, 'http://old.example.com/');"
      "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title) VALUES (1, 2, NULL, 0, 0, ''),"
      " (2, 2, NULL, 1, 0, 'Bookmarks Menu'), (3, 2, NULL, 1, 1, 'Bookmarks Toolbar'), (4, 2, NULL, 1, 2, 'Tags'),"
      " (5, 2, NULL, 3, 0, 'Старое'), (6, 1, 1, 5, 0, 'Сайт'), (7, 2, NULL, 4, 0, 'метка'), (8, 1, 1, 7, 0, NULL);");
  EXPECT_EQ(read(), (Events{"+Старое", "Сайт = http://old.example.com/", "-"}));
}

}  // namespace

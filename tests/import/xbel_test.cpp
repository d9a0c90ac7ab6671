// SPDX-License-Identifier: MIT
// The XBEL reader over a file shaped as desktop bookmark editors write it, the collection it
// makes beside the one the same bookmarks make from a browser's export, and XML built to hurt:
// entities that multiply, entities and DTDs outside the file, nesting past any bookmark tree,
// attributes of many megabytes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "import/formats.h"
#include "import/importer.h"
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

using Events = std::vector<std::string>;

Events xbel(const std::string& bytes) {
  RecordingSink sink;
  readXbelBookmarks(bytes, sink);
  return sink.events;
}

std::string document(const std::string& body, const std::string& prolog = "") {
  return "<?xml version=\"1.0\"?>\n" + prolog + "<xbel version=\"1.0\">" + body + "</xbel>\n";
}

// Every file of a collection and its bytes, by path below it.
std::map<std::string, std::string> filesOf(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = readFile(entry.path());
  }
  return files;
}

TEST(XbelReader, editorsFile_nestedFoldersTitlesInOrder_separatorsAliasesAndDescriptionsPassedOver) {
  EXPECT_EQ(xbel(readFile(fs::path(TREVANTO_IMPORT_FIXTURES) / "bookmarks.xbel")),
            (Events{"Стартовая = https://start.example.com/", "+Работа",
                    "Документация & справка = https://docs.example.org/ru/?a=1&b=2", "+Инструменты <новые>",
                    "Трекер = https://tracker.example.com/board", "-", "+",
                    "В папке без названия = https://untitled-folder.example.com/", "-",
                    " = https://notitle.example.com/page", "-", "+Пустая", "-", "Скрипт = javascript:alert(1)"}));
  // Another encoding declared, a default namespace, an empty document.
  EXPECT_EQ(xbel("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<xbel xmlns=\"urn:x\"><bookmark href=\"h:x\">"
                 "<title>\xCF\xF0\xE8\xE2\xE5\xF2</title></bookmark></xbel>"),
            (Events{"Привет = h:x"}));
  EXPECT_EQ(xbel("<xbel/>"), Events{});
  // Folders without a title, with nothing in them or only what is passed over.
  EXPECT_EQ(xbel(document("<folder><folder><separator/></folder><folder/><bookmark href=\"h:b\"/></folder>")),
            (Events{"+", "+", "-", "+", "-", " = h:b", "-"}));
}

TEST(XbelReader, recognisedByItsRootElementOnly_andNotXbelIsAFormatError) {
  const auto recognises = [](const std::string& head) {
    for (const auto& reader : fileReaders()) {
      if (reader->recognises(head)) return std::string(reader->name());
    }
    return std::string();
  };
  EXPECT_EQ(recognises(readFile(fs::path(TREVANTO_IMPORT_FIXTURES) / "bookmarks.xbel")), "XBEL");
  EXPECT_EQ(recognises("\xEF\xBB\xBF<!-- <html> -->\n<!DOCTYPE xbel [<!ENTITY a \"<b>\">]>\n<xbel>"), "XBEL");
  EXPECT_EQ(recognises(std::string("\xFF\xFE<\0x\0b\0e\0l\0>\0", 14)), "XBEL");
  EXPECT_NE(recognises("<xbelly/>"), "XBEL");
  EXPECT_NE(recognises("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p><DT><A HREF=\"x\">&lt;xbel&gt;</A>"), "XBEL");

  RecordingSink sink;
  EXPECT_THROW(readXbelBookmarks("<html><body/></html>", sink), FormatError);
  EXPECT_THROW(readXbelBookmarks("not xml at all", sink), FormatError);
  // Broken once it showed to be XBEL: unreadable, and what it held before is no excuse.
  EXPECT_THROW(readXbelBookmarks("<xbel><folder><title>A</title><bookmark href=\"x\"></folder></xbel>", sink),
               UnreadableError);
}

TEST(XbelReader, importedCollection_sectionsAndShortcutsAsFromTheSameBookmarksInABrowsersExport) {
  TempFolder root;
  writeFile(root / "bookmarks.xbel",
            document("<bookmark href=\"https://top.example/\"><title>Top</title></bookmark>"
                     "<folder><title>Работа</title><bookmark href=\"https://a.example/\"><title>A</title></bookmark>"
                     "<folder><title>Глубже</title><bookmark href=\"https://b.example/\"><title>B</title></bookmark>"
                     "</folder></folder>"));
  writeFile(root / "bookmarks.html",
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
            "charset=UTF-8\">\n<DL><p>\n<DT><A HREF=\"https://top.example/\">Top</A>\n<DT><H3>Работа</H3>\n<DL><p>\n"
            "<DT><A HREF=\"https://a.example/\">A</A>\n<DT><H3>Глубже</H3>\n<DL><p>\n"
            "<DT><A HREF=\"https://b.example/\">B</A>\n</DL><p>\n</DL><p>\n</DL>\n");
  for (const char* input : {"bookmarks.xbel", "bookmarks.html"}) {
    ImportRequest request;
    request.inputs = {root / input};
    request.collection = root / (std::string(input) + ".collection");
    const ImportReport report = runImport(request);
    ASSERT_TRUE(report.error.empty()) << report.error;
    EXPECT_EQ(report.added, 3);
  }
  const auto fromXbel = filesOf(root / "bookmarks.xbel.collection");
  EXPECT_EQ(fromXbel, filesOf(root / "bookmarks.html.collection"));
  EXPECT_EQ(fromXbel.size(), 3u);
}

TEST(XbelHostile, entitiesThatMultiply_areNotExpanded_andEndSoon) {
  std::string prolog = "<!DOCTYPE xbel [\n<!ENTITY lol0 \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    prolog += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) prolog += "&lol" + std::to_string(i - 1) + ";";
    prolog += "\">\n";
  }
  prolog += "]>\n";
  const auto started = std::chrono::steady_clock::now();
  for (const std::string& body :
       {std::string("<bookmark href=\"https://x.example/&lol9;\"><title>&lol9;</title></bookmark>"),
        std::string("<bookmark href=\"https://x.example/\"><title>A&lol9;B</title></bookmark>")}) {
    RecordingSink sink;
    try {
      readXbelBookmarks(document(body, prolog), sink);
    } catch (const FormatError&) {
      // refusing the file is as good as leaving the references out
    } catch (const UnreadableError&) {
    }
    for (const std::string& event : sink.events) EXPECT_LT(event.size(), 100u) << event.substr(0, 100);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST(XbelHostile, entitiesAndDtdsOutsideTheFile_areNeverRead) {
  TempFolder root;
  writeFile(root / "secret.txt", "SECRET-CONTENT");
  writeFile(root / "evil.dtd", "<!ENTITY leak SYSTEM \"file://" + (root / "secret.txt").string() + "\">");
  const std::string secret = "file://" + (root / "secret.txt").string();
  const std::vector<std::string> files = {
      document("<bookmark href=\"https://x.example/\"><title>&ext;</title></bookmark>",
               "<!DOCTYPE xbel [<!ENTITY ext SYSTEM \"" + secret + "\">]>\n"),
      document("<bookmark href=\"https://x.example/\"><title>&leak;</title></bookmark>",
               "<!DOCTYPE xbel SYSTEM \"file://" + (root / "evil.dtd").string() + "\">\n"),
      document("<bookmark href=\"https://x.example/\"><title>%pe;</title></bookmark>",
               "<!DOCTYPE xbel [<!ENTITY % pe SYSTEM \"file://" + (root / "evil.dtd").string() + "\"> %pe;]>\n"),
      document("<bookmark href=\"&ext;\"><title>t</title></bookmark>",
               "<!DOCTYPE xbel [<!ENTITY ext SYSTEM \"" + secret + "\">]>\n"),
  };
  for (const std::string& file : files) {
    RecordingSink sink;
    try {
      readXbelBookmarks(file, sink);
    } catch (const FormatError&) {
    } catch (const UnreadableError&) {
    }
    for (const std::string& event : sink.events) EXPECT_EQ(event.find("SECRET"), std::string::npos) << event;
  }
}

TEST(XbelHostile, nestingPastTheLimitIsRefused_andUpToItEveryFolderIsClosed) {
  const auto nested = [](int depth) {
    std::string body;
    for (int i = 0; i < depth; ++i) body += "<folder><title>f</title>";
    body += "<bookmark href=\"https://deep.example/\"><title>deep</title></bookmark>";
    for (int i = 0; i < depth; ++i) body += "</folder>";
    return document(body);
  };
  const Events events = xbel(nested(kMaxXbelDepth - 3));
  ASSERT_EQ(events.size(), 2u * (kMaxXbelDepth - 3) + 1);
  EXPECT_EQ(events[kMaxXbelDepth - 3], "deep = https://deep.example/");
  EXPECT_EQ(events.back(), "-");
  RecordingSink sink;
  EXPECT_THROW(readXbelBookmarks(nested(100'000), sink), UnreadableError);
}

TEST(XbelHostile, hugeAttributes_readUpToTheParsersCapAndRefusedPastIt) {
  const std::string longPath(2'000'000, 'a');
  EXPECT_EQ(xbel(document("<bookmark href=\"https://x.example/" + longPath + "\"><title>t</title></bookmark>")),
            (Events{"t = https://x.example/" + longPath}));
  RecordingSink sink;
  EXPECT_THROW(readXbelBookmarks(document("<bookmark href=\"https://x.example/" + std::string(12'000'000, 'a') +
                                          "\"><title>t</title></bookmark>"),
                                 sink),
               UnreadableError);
  // Through the importer: the file is named, and nothing is written.
  TempFolder root;
  writeFile(root / "huge.xbel", document("<bookmark href=\"" + std::string(12'000'000, 'a') + "\"/>"));
  ImportRequest request;
  request.inputs = {root / "huge.xbel"};
  request.collection = root / "collection";
  const ImportReport report = runImport(request);
  EXPECT_NE(report.error.find("huge.xbel"), std::string::npos) << report.error;
  EXPECT_FALSE(fs::exists(root / "collection"));
}

}  // namespace

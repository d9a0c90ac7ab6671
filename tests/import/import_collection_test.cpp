// SPDX-License-Identifier: MIT
// Names made safe, shortcuts written, and whole imports into a collection: never overwriting,
// idempotent, nothing outside the collection, and read by the converter as written.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "import/importer.h"
#include "import/safe_names.h"
#include "import/shortcut_writer.h"
#include "site/conversion.h"
#include "site/page_format.h"
#include "site/shortcut_reader.h"
#include "kept_collections.h"
#include "test_support.h"

using namespace trevanto::import;
using trevanto::testing::readFile;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;
namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = TREVANTO_IMPORT_FIXTURES;

TEST(SafeNames, hostileTitles_becomeOneHarmlessName) {
  EXPECT_EQ(safeName("a/b\\c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(safeName("  две\r\nстроки\tи\x01всё.. . "), "две строки_и_всё");
  EXPECT_EQ(safeName(".."), "_");
  EXPECT_EQ(safeName(".bashrc"), "_bashrc");
  EXPECT_EQ(safeName("../../etc/passwd"), "_._.._etc_passwd");
  EXPECT_EQ(safeName("/"), "_");
  EXPECT_EQ(safeName("bad\xFFutf8"), "bad_utf8");
  EXPECT_EQ(safeName(" . "), "_");
  EXPECT_EQ(safeName("  "), "");
  for (const char* device : {"CON", "prn", "Aux", "nul", "COM1", "lpt9", "nul.txt"}) {
    const std::string made = safeName(device);
    EXPECT_NE(made.find('_'), std::string::npos) << device;
  }
  EXPECT_EQ(safeName("nul.txt"), "nul_.txt");
  EXPECT_EQ(safeName("COM10"), "COM10");
  // A long name cut down to a device name and blanks is still made safe, and stays so.
  const std::string cutToDevice = safeName("conout$" + std::string(200, ' ') + "tail");
  EXPECT_EQ(cutToDevice, "conout$_");
  EXPECT_EQ(safeName(cutToDevice), cutToDevice);
  EXPECT_EQ(safeName(std::string(300, 'x')).size(), kMaxNameCharacters);
  // Cyrillic letters take two bytes: the byte cap comes first, at a character boundary.
  std::string cyrillic;
  for (int i = 0; i < 150; ++i) cyrillic += "ж";
  EXPECT_EQ(safeName(cyrillic).size(), kMaxNameBytes);
  EXPECT_EQ(withSuffix(safeName(cyrillic), " (2)").size(), kMaxNameBytes - 4 + 4);
  EXPECT_EQ(withSuffix(std::string(120, 'x'), " (12)"), std::string(115, 'x') + " (12)");
}

TEST(SafeNames, emptyTitleHostOrDefault_sectionsJoinedAndSitePagesAvoided) {
  EXPECT_EQ(shortcutBaseName("", "https://user@www.example.com:8080/x"), "www.example.com");
  EXPECT_EQ(shortcutBaseName("\r\n", "mailto:someone@example.com"), "Закладка");
  EXPECT_EQ(shortcutBaseName("", "http://[::1]:80/"), "[__1]");
  EXPECT_EQ(sectionName({"Работа", "", "Проекты"}, "Закладки"), "Работа - Проекты");
  EXPECT_EQ(sectionName({}, "Закладки"), "Закладки");
  EXPECT_EQ(sectionName({"frame2"}, "Закладки"), "frame2 _");
  EXPECT_EQ(sectionName({"INDEX"}, "Закладки"), "INDEX _");
  EXPECT_EQ(sectionName({"Index - x"}, "Закладки"), "Index - x");
  const std::string deep = sectionName(std::vector<std::string>(40, "Папка"), "Закладки");
  EXPECT_LE(deep.size(), kMaxNameBytes);
  EXPECT_GT(deep.size(), kMaxNameBytes - 13);
  EXPECT_TRUE(deep.starts_with("Папка - Папка - "));
  EXPECT_EQ(foldCase("НОВОСТИ News"), foldCase("новости news"));
}

TEST(ShortcutAddress, trimmedTabsAndBreaksDroppedOutsideAsciiEncoded) {
  EXPECT_EQ(shortcutAddress("  \thttps://ex.com/a\tb\r\nc d/путь?q=\"x\"  \n"),
            "https://ex.com/abc%20d/%D0%BF%D1%83%D1%82%D1%8C?q=\"x\"");
  EXPECT_EQ(shortcutText("https://ex.com/"), "[InternetShortcut]\r\nURL=https://ex.com/\r\n");
  // A shortcut Windows wrote and one written here for the same address lead to the same link.
  EXPECT_EQ(
      pageAddressOf("[DEFAULT]\r\nBASEURL=https://ex.com/путь\r\n[InternetShortcut]\r\nURL=https://ex.com/путь\r\n"
                    "IDList=\r\n"),
      pageAddressOf(shortcutText(shortcutAddress("https://ex.com/путь"))));
}

// Every file under a folder, relative to it.
std::set<std::string> filesUnder(const fs::path& folder) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_directory()) files.insert(fs::relative(entry.path(), folder).string());
  }
  return files;
}

class ImportTest : public ::testing::Test {
 protected:
  fs::path collection() const { return root_ / "collection"; }
  ImportReport import(std::vector<fs::path> inputs, std::string section = "Закладки") {
    ImportRequest request;
    request.inputs = std::move(inputs);
    request.collection = collection();
    request.namedSection = std::move(section);
    return runImport(request);
  }
  fs::path write(const std::string& name, const std::string& bytes) {
    writeFile(root_ / name, bytes);
    return root_ / name;
  }
  TempFolder root_;
};

TEST_F(ImportTest, firefoxExport_sectionsNamesAndCounts) {
  const ImportReport report = import({kFixtures / "firefox.html"});
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.added, 10);
  EXPECT_EQ(report.alreadyThere, 1);  // the same address twice in one section
  EXPECT_EQ(filesUnder(collection()),
            (std::set<std::string>{"Закладки/Без папки.url", "Закладки/ВИКИ (2).url", "Закладки/Вики.url",
                                   "Закладки/Начало работы.url", "Новости - Спорт/Футбол.url",
                                   "Новости/Лента & новости.url", "Новости/Мировые _новости_.url", "Работа/CON_.url",
                                   "Работа/_._.._etc_passwd.url", "Работа/empty.example.com.url"}));
  EXPECT_EQ(readFile(collection() / "Новости - Спорт/Футбол.url"),
            "[InternetShortcut]\r\nURL=https://sport.example.ru/%D1%84%D1%83%D1%82%D0%B1%D0%BE%D0%BB\r\n");
  ASSERT_EQ(report.skipped.size(), 2u);
  EXPECT_EQ(report.skipped[0].title, "Закладка-скрипт");
  const std::vector<std::string> lines = importStatisticsLines(report);
  EXPECT_EQ(lines[0], "Добавлено ярлыков : 10");
  EXPECT_EQ(lines[1], "Уже были : 1");
  EXPECT_EQ(lines[2], "Пропущено : 2");
  EXPECT_EQ(lines[3], "Закладки / Закладка-скрипт : небезопасный адрес (запускает код)");
}

TEST_F(ImportTest, existingShortcuts_neverOverwrittenSameAddressAlreadyThere) {
  // Windows wrote "Вики" for the same address; "Почта" holds another address; "ВИКИ" differs
  // only in case from a section folder that already exists as "новости".
  writeFile(
      collection() / "Закладки/Вики.url",
      "[DEFAULT]\r\nBASEURL=https://wiki.example.org/\r\n[InternetShortcut]\r\nURL=https://wiki.example.org/\r\n");
  writeFile(collection() / "Закладки/начало РАБОТЫ.URL",
            trevanto::testing::shortcutText("https://elsewhere.example.com/"));
  writeFile(collection() / "новости/keep.url", trevanto::testing::shortcutText("https://keep.example.com/"));
  // "Работа" in Windows-1251 bytes, copied from an old disk: the converter reads it as that
  // section, and so does the import.
  const std::string work1251 = "\xD0\xE0\xE1\xEE\xF2\xE0";
  writeFile(collection() / work1251 / "keep.url", trevanto::testing::shortcutText("https://keep1251.example.com/"));
  const std::string before = readFile(collection() / "Закладки/начало РАБОТЫ.URL");
  const ImportReport report = import({kFixtures / "firefox.html"});
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.added, 9);
  EXPECT_EQ(report.alreadyThere, 2);
  EXPECT_EQ(readFile(collection() / "Закладки/начало РАБОТЫ.URL"), before);
  EXPECT_TRUE(fs::exists(collection() / "Закладки/Начало работы (2).url"));
  EXPECT_TRUE(fs::exists(collection() / "новости/Лента & новости.url"));
  EXPECT_FALSE(fs::exists(collection() / "Новости"));
  EXPECT_FALSE(fs::exists(collection() / "Работа"));
  EXPECT_TRUE(fs::exists(collection() / work1251 / "CON_.url"));
}

TEST_F(ImportTest, reimport_writesNothingAndNewerExportAddsOnlyNew) {
  ASSERT_FALSE(import({kFixtures / "chrome.html"}).failed());
  const std::set<std::string> first = filesUnder(collection());
  const ImportReport again = import({kFixtures / "chrome.html"});
  EXPECT_EQ(again.added, 0);
  EXPECT_EQ(again.alreadyThere, 3);
  EXPECT_EQ(filesUnder(collection()), first);

  std::string newer = readFile(kFixtures / "chrome.html");
  newer.insert(newer.rfind("</DL><p>"), "<DT><A HREF=\"https://new.example.com/\">Почта</A>\n");
  const ImportReport grown = import({write("newer.html", newer)});
  EXPECT_EQ(grown.added, 1);
  EXPECT_EQ(grown.alreadyThere, 3);
  EXPECT_TRUE(fs::exists(collection() / "Закладки/Почта (2).url"));
}

TEST_F(ImportTest, hostileFolderTitles_nothingLandsOutsideTheCollection) {
  const fs::path input = write("hostile.html",
                               "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                               "<DT><H3>..</H3><DL><p><DT><H3>../../..</H3><DL><p>"
                               "<DT><A HREF=\"http://a.example/\">/tmp/escape</A></DL><p></DL><p>\n"
                               "<DT><H3>/etc</H3><DL><p><DT><A HREF=\"http://b.example/\">..</A></DL><p>\n"
                               "<DT><H3>  </H3><DL><p><DT><A HREF=\"http://c.example/\">.</A></DL><p>\n"
                               "<DT><H3>Frame3</H3><DL><p><DT><A HREF=\"http://d.example/\">x</A></DL><p>\n"
                               "</DL>\n");
  const ImportReport report = import({input}, "../up");
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(filesUnder(root_.path()),
            (std::set<std::string>{"hostile.html", "collection/_ - _._.._/_tmp_escape.url", "collection/_etc/_.url",
                                   "collection/_._up/_.url", "collection/Frame3 _/x.url"}));
}

TEST_F(ImportTest, badInputs_endTheImportWithNothingWritten) {
  const fs::path good = kFixtures / "chrome.html";
  for (const fs::path& bad : {kFixtures / "read-later.html", root_ / "missing.html", write("text.txt", "hello\n"),
                              write("not-places.sqlite", std::string("SQLite format 3\0", 16) + "garbage")}) {
    const ImportReport report = import({good, bad});
    EXPECT_TRUE(report.failed()) << bad;
    EXPECT_NE(report.error.find(bad.string()), std::string::npos) << report.error;
    EXPECT_FALSE(fs::exists(collection())) << bad;
  }
  // A collection that must be there already (a run nobody watches) is never created.
  ImportRequest unwatched;
  unwatched.inputs = {good};
  unwatched.collection = root_ / "stick/Избранное";
  unwatched.createCollection = false;
  const ImportReport report = runImport(unwatched);
  EXPECT_TRUE(report.failed());
  EXPECT_NE(report.error.find(unwatched.collection.string()), std::string::npos) << report.error;
  EXPECT_FALSE(fs::exists(root_ / "stick"));
}

TEST_F(ImportTest, collectionThatCannotBeWritten_failsNamingTheFile) {
  writeFile(collection(), "a file where the collection should be");
  const ImportReport onFile = import({kFixtures / "chrome.html"});
  EXPECT_TRUE(onFile.failed());
  EXPECT_NE(onFile.error.find(collection().string()), std::string::npos) << onFile.error;
  fs::remove(collection());

  if (::geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  fs::create_directories(collection() / "Закладки");
  fs::permissions(collection() / "Закладки", fs::perms::owner_read | fs::perms::owner_exec);
  const ImportReport report = import({kFixtures / "chrome.html"});
  EXPECT_TRUE(report.failed());
  EXPECT_NE(report.error.find("Закладки"), std::string::npos) << report.error;
}

TEST_F(ImportTest, importedThenConverted_linksOnPagesAndNoRepeatsAfterwards) {
  ASSERT_FALSE(import({kFixtures / "Bookmarks", kFixtures / "links"}).failed());
  trevanto::site::RunRequest run(collection(), root_ / "site", TREVANTO_TEMPLATES_DIR);
  fs::create_directories(run.siteFolder);
  const trevanto::site::RunReport converted = trevanto::testing::runKeeping(run);
  ASSERT_FALSE(converted.failed()) << converted.error;
  EXPECT_EQ(converted.ConvertedCount, 8);
  EXPECT_TRUE(converted.skipped.empty());
  EXPECT_NE(readFile(run.siteFolder / "Работа.html").find("href=\"https://wiki.example.org/Main%20Page\""),
            std::string::npos);
  EXPECT_EQ(import({kFixtures / "Bookmarks", kFixtures / "links"}).added, 0);
}

// A folder tree converted with its deeper folders as sections gets the sections the importer
// makes of the same tree: the same names, each with the same links.
TEST_F(ImportTest, nestedConversionNamesSectionsAsTheImporterDoes) {
  const fs::path tree = root_ / "Favorites";
  const std::vector<std::pair<fs::path, std::string>> shortcuts = {
      {"Links/a.url", "http://a.example/"},
      {"Links/Работа/b.url", "http://b.example/"},
      {"Links/Работа/Проекты/c.url", "http://c.example/"},
      {"Links/Работа/Проекты/Старые/d.url", "http://d.example/"},
      {"Links/a:b?/e.url", "http://e.example/"},
      {"Links/.git/f.url", "http://f.example/"},
      {"Links/\xD0\xE0\xE1\xEE\xF2\xE0/g.url", "http://g.example/"},  // "Работа" in Windows-1251
      {"Links/Frame2/h.url", "http://h.example/"},
      {"Links/.../i.url", "http://i.example/"},
      {".NET/Docs/j.url", "http://j.example/"},
      {"Пусто/Глубже/k.url", "http://k.example/"},
  };
  for (const auto& [file, address] : shortcuts) {
    trevanto::testing::writeShortcut(tree / file.parent_path(), file.stem().string(), address);
  }
  ASSERT_FALSE(import({tree}).failed());
  std::set<std::string> imported;
  for (const auto& entry : fs::directory_iterator(collection())) imported.insert(entry.path().filename().string());

  trevanto::site::RunRequest run(tree, root_ / "site", TREVANTO_TEMPLATES_DIR);
  run.nestedSections = true;
  fs::create_directories(run.siteFolder);
  const trevanto::site::RunReport converted = trevanto::testing::runKeeping(run);
  ASSERT_FALSE(converted.failed()) << converted.error;
  EXPECT_EQ(converted.ConvertedCount, static_cast<std::int32_t>(shortcuts.size()));
  EXPECT_TRUE(converted.unvisited.empty());
  std::set<std::string> sections;
  for (const auto& entry : fs::directory_iterator(run.siteFolder)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || trevanto::site::isOwnPageName(name, trevanto::site::LetterCase::Exact)) continue;
    sections.insert(name.substr(0, name.size() - 5));
  }
  EXPECT_EQ(sections, imported);
  EXPECT_TRUE(sections.contains("Links - Работа - Проекты - Старые"));
  for (const std::string& section : imported) {
    for (const auto& entry : fs::directory_iterator(collection() / section)) {
      const std::string address = trevanto::site::readShortcutAddress(readFile(entry.path()));
      EXPECT_NE(readFile(run.siteFolder / (section + ".html")).find(address), std::string::npos) << section;
    }
  }
}

int runProgram(const std::string& arguments, std::string* output = nullptr) {
  FILE* pipe = ::popen((std::string(TREVANTO_IMPORT_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  std::string text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
  if (output != nullptr) *output = text;
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ImportTest, program_versionUsageAndExitCodes) {
  std::string output;
  EXPECT_EQ(runProgram("--version", &output), 0);
  EXPECT_EQ(output, "trevanto-import " TREVANTO_VERSION "\n");
  EXPECT_EQ(runProgram("--help", &output), 0);
  EXPECT_NE(output.find("Usage: trevanto-import [--section NAME] INPUT... SOURCE"), std::string::npos);
  EXPECT_EQ(runProgram("'" + collection().string() + "'"), 2);
  EXPECT_EQ(runProgram("--bogus a b"), 2);
  EXPECT_EQ(runProgram("'" + (kFixtures / "read-later.html").string() + "' '" + collection().string() + "'"), 1);
  EXPECT_FALSE(fs::exists(collection()));
  EXPECT_EQ(
      runProgram("--section Избранное '" + (kFixtures / "safari.html").string() + "' '" + collection().string() + "'",
                 &output),
      0);
  EXPECT_EQ(output, "Добавлено ярлыков : 3\nУже были : 0\n");
  EXPECT_TRUE(fs::exists(collection() / "Избранное/Top.url"));
}

}  // namespace

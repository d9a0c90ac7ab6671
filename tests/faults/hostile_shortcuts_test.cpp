// SPDX-License-Identifier: MIT
// Whole runs over collections that hold what no bookmark should: files that are not shortcuts
// or cannot be read, names and addresses made to break the page. A bad bookmark is skipped
// and named; nothing of it reaches the page as markup; the run and its re-run complete.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fault_support.h"
#include "site/page_format.h"
#include "test_support.h"

namespace trevanto::testing {
namespace {

constexpr uid_t kNobody = 65534;

std::size_t countOf(const std::string& text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Opens the temporary folder to another user, so that a child dropped to it can work there.
void shareWithOthers(const std::filesystem::path& folder) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_symlink()) continue;
    std::filesystem::permissions(entry.path(),
                                 entry.is_directory()
                                     ? std::filesystem::perms::all
                                     : std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
  }
  std::filesystem::permissions(folder, std::filesystem::perms::all, std::filesystem::perm_options::add);
}

TEST(HostileShortcuts, unreadableOrNotRegular_areSkippedNamedAndTheRunGoesOn) {
  TempFolder temp;
  const std::filesystem::path section = temp / "src/Section";
  writeShortcut(section, "a good", "http://example.org/a");
  writeShortcut(section, "z good", "http://example.org/z");
  ASSERT_EQ(::mkfifo((section / "fifo.url").c_str(), 0644), 0);
  std::filesystem::create_directories(section / "folder.url");
  std::filesystem::create_symlink(section / "nowhere", section / "dangling.url");
  std::filesystem::create_symlink("/dev/zero", section / "zero.url");
  writeFile(section / "huge.url", shortcutText("http://example.org/huge"));
  std::filesystem::resize_file(section / "huge.url", std::uintmax_t{2} << 30);  // 2 GiB, sparse
  writeShortcut(section, "locked", "http://example.org/locked");
  std::filesystem::create_directories(temp / "site");

  // Permission bits do not stop root, so as root the run drops to an ordinary user.
  std::optional<uid_t> user;
  if (runningAsRoot()) {
    shareWithOthers(temp.path());
    user = kNobody;
  }
  std::filesystem::permissions(section / "locked.url", std::filesystem::perms::none);

  const Outcome run = convertInChild(temp / "src", temp / "site", temp.path(), user);
  if (user && (run.exitCode == 125 || run.exitCode == 127)) {
    GTEST_SKIP() << "the converter cannot be run as an ordinary user here (exit " << run.exitCode << ")";
  }
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_LT(run.seconds, 20) << "a FIFO or a device kept the run waiting";
  EXPECT_NE(run.out.find("Пропущено ярлыков : 6"), std::string::npos) << run.out;
  for (const char* named :
       {"Section / fifo : не обычный файл", "Section / folder : это папка", "Section / dangling : не читается",
        "Section / zero : не обычный файл", "Section / huge : файл больше 1 МиБ", "Section / locked : не читается"}) {
    EXPECT_NE(run.out.find(named), std::string::npos) << named << " in\n" << run.out;
  }
  expectCompleteSite(temp / "site", {{"Section", {"http://example.org/a", "http://example.org/z"}}});

  const Outcome rerun = convertInChild(temp / "src", temp / "site", temp.path(), user);
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  EXPECT_NE(rerun.out.find("Было конвертировано : 0 ссылок."), std::string::npos) << rerun.out;
  expectCompleteSite(temp / "site", {{"Section", {"http://example.org/a", "http://example.org/z"}}});
}

TEST(HostileShortcuts, hostileNames_becomeTextAndMenuEntriesFindTheirPages) {
  TempFolder temp;
  // No '/' in any of them: it cannot stand in a name.
  std::vector<std::string> names = {"line\nbreak", "say \"hi\"",        "<script>alert(1)",   "bad \xFF\xFE utf-8 \xC3",
                                    "Tom & Jerry", "&lt;not a tag&gt;", "javascript:alert(1)"};
  std::vector<std::string> sections = names;
  names.push_back(std::string(255 - 4, 'n'));     // the longest name a shortcut file can have
  sections.push_back(std::string(255 - 5, 's'));  // the longest section whose page name fits
  Expected expected;
  int count = 0;
  for (const std::string& section : sections) {
    for (const std::string& name : names) {
      const std::string address = "http://example.org/" + std::to_string(++count);
      writeShortcut(temp / "src" / section, name, address);
      expected[section].insert(address);
    }
  }
  // Sections whose page name would be too long, or one of the site's own pages.
  writeShortcut(temp / "src" / std::string(255 - 4, 's'), "one", "http://example.org/one");
  writeShortcut(temp / "src/Frame2", "one", "http://example.org/one");
  std::filesystem::create_directories(temp / "site");

  const site::RunReport report = convert(temp / "src", temp / "site");
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.ConvertedCount, count);
  ASSERT_EQ(report.skipped.size(), 2u);
  for (const site::SkippedShortcut& skipped : report.skipped) EXPECT_TRUE(skipped.name.empty()) << skipped.section;
  expectCompleteSite(temp / "site", expected);

  // The pages and the export hold the names as text; the templates are copied as they are.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(temp / "site")) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name == "Frame3.html" || name == "search.js") continue;
    const std::string page = readFile(entry.path());
    // The frame set and the one-page view carry the scripts of their templates, and only those;
    // collection.html its data and the search, written into it.
    const char* frame = name == "Index.html" ? "Index.html" : name == "index.html" ? "index-page.html" : nullptr;
    const std::size_t scripts = name == "collection.html" ? 2u : frame ? countOf(readFile(kTemplates / frame), "<script") : 0u;
    EXPECT_EQ(countOf(page, "<script"), scripts) << entry.path();
    EXPECT_EQ(page.find("\"hi\""), std::string::npos) << entry.path();
  }
  const std::string page = readFile(temp / "site/Tom & Jerry.html");
  EXPECT_EQ(countOf(page, "target=index>&lt;script&gt;alert(1)</a><br>"), 1u);
  EXPECT_EQ(countOf(page, "target=index>say &quot;hi&quot;</a><br>"), 1u);
  EXPECT_EQ(countOf(page, "target=index>line&#10;break</a><br>"), 1u);
  EXPECT_EQ(countOf(page, "target=index>&amp;lt;not a tag&amp;gt;</a><br>"), 1u);

  const site::RunReport rerun = convert(temp / "src", temp / "site");
  EXPECT_EQ(rerun.ConvertedCount, 0);
  EXPECT_EQ(rerun.RepeatCount, count);
  expectCompleteSite(temp / "site", expected);
}

TEST(HostileShortcuts, hostileAddresses_areRefusedOrStayInsideTheirAttribute) {
  TempFolder temp;
  const std::filesystem::path section = temp / "src/Section";
  const auto shortcut = [&](const std::string& name, const std::string& urlLine) {
    writeFile(section / (name + ".url"), "[InternetShortcut]\r\n" + urlLine + "\r\n");
  };
  shortcut("quote", "URL=http://example.org/\"><script>alert(1)</script>");
  shortcut("angle", "URL=http://example.org/a<b>c");
  shortcut("quoted", "URL=\"http://example.org/q\"");
  shortcut("mixed case with tabs", "URL= \tJaVa\tScRiPt:alert(1)");
  shortcut("upper", "url=JAVASCRIPT:alert(document.cookie)");
  shortcut("tab inside", "URL=java\tscript:alert(1)");
  shortcut("vbscript", "URL=VBScript:MsgBox(1)");
  shortcut("data", "URL=Data:text/html;base64,PHNjcmlwdD5hbGVydCgxKTwvc2NyaXB0Pg==");
  shortcut("reference", "URL=javascript&#x3A;alert(1)");
  writeFile(section / "wide.url",
            "[InternetShortcut]\r\nURL=http://example.org/w\r\n[InternetShortcut.W]\r\n"
            "URL=+AGoAYQB2AGEAcwBjAHIAaQBwAHQAOg-alert(1)\r\n");
  std::filesystem::create_directories(temp / "site");

  const site::RunReport report = convert(temp / "src", temp / "site");
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.ConvertedCount, 3);
  ASSERT_EQ(report.skipped.size(), 7u);
  for (const site::SkippedShortcut& skipped : report.skipped) {
    EXPECT_NE(skipped.reason.find("небезопасный"), std::string::npos) << skipped.name << ": " << skipped.reason;
  }
  const Expected expected = {{"Section",
                              {"http://example.org/a%3Cb%3Ec",
                               "http://example.org/%22%3E%3Cscript%3Ealert(1)%3C/script%3E", "http://example.org/q"}}};
  expectCompleteSite(temp / "site", expected);
  EXPECT_EQ(readFile(temp / "site/Section.html").find("<script"), std::string::npos);

  const site::RunReport rerun = convert(temp / "src", temp / "site");
  EXPECT_EQ(rerun.ConvertedCount, 0);
  EXPECT_EQ(rerun.RepeatCount, 3);
  expectCompleteSite(temp / "site", expected);
}

}  // namespace
}  // namespace trevanto::testing

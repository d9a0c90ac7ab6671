// SPDX-License-Identifier: MIT
// What the export holds: every section page of the site, listed in the menu or not, and the
// addresses of page links as a browser follows them.
#include "site/export_sections.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "site/conversion.h"
#include "site/export_views.h"
#include "site/page_format.h"
#include "site/site_export.h"
#include "kept_collections.h"
#include "test_support.h"

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

// The text of every part of the search data, one after the other.
std::string searchParts(const std::filesystem::path& site) {
  std::string out;
  for (const auto& entry : std::filesystem::directory_iterator(site / "export")) {
    if (entry.path().filename().string().starts_with(kSearchPartPrefix)) out += readFile(entry.path());
  }
  return out;
}

const std::string kHeader = sectionHeaderLine() + "\r\n";

std::vector<std::string> pageNames(const std::vector<MenuSection>& sections) {
  std::vector<std::string> names;
  for (const MenuSection& section : sections) names.push_back(section.pageName);
  return names;
}

// The HREFs of a bookmark file, in order.
std::vector<std::string> hrefsOf(const std::string& bookmarks) {
  std::vector<std::string> hrefs;
  constexpr std::string_view kStart = "<A HREF=\"";
  for (std::size_t at = 0; (at = bookmarks.find(kStart, at)) != std::string::npos;) {
    at += kStart.size();
    hrefs.push_back(bookmarks.substr(at, bookmarks.find('"', at) - at));
  }
  return hrefs;
}

RunReport convert(const fs::path& source, const fs::path& site) {
  return runKeeping(RunRequest(source, site, TREVANTO_TEMPLATES_DIR));
}

}  // namespace

TEST(ExportSections, pagesTheMenuDoesNotListFollowItsSectionsInFolderOrder) {
  TempFolder site;
  writeFile(site / "Frame2.html", menuHeaderLine() + "\r\n" + menuOf("Listed.html", "Listed"));
  for (const char* name : {"Listed.html", "gamma.html", "Beta.html", "alpha.html"}) {
    writeFile(site / name, kHeader + linkOf(std::string("http://") + name + "/", "x"));
  }
  writeFile(site / "lf.html", sectionHeaderLine() + "\n");         // a header line ended by LF alone
  writeFile(site / "notes.html", "<p>a page of the user's</p>\r\n");  // not a section page
  writeFile(site / "Empty.html", "");
  writeFile(site / "header-inside.html", "<p>\r\n" + kHeader);
  writeFile(site / "Longer.html", sectionHeaderLine() + " and more\r\n");
  writeFile(site / "Frame1.html", kHeader);  // the site's own pages never count
  writeFile(site / "Index.html", kHeader);
  writeFile(site / "Section.htm", kHeader);
  fs::create_directories(site / "Folder.html");

  const std::vector<MenuSection> sections = sectionsOfSite(site.path());
  EXPECT_EQ(pageNames(sections),
            (std::vector<std::string>{"Listed.html", "alpha.html", "Beta.html", "gamma.html", "lf.html"}));
  ASSERT_EQ(sections.size(), 5u);
  EXPECT_EQ(sections[2].name, "Beta");

  // Without a menu page every section page is one the menu does not list.
  fs::remove(site / "Frame2.html");
  EXPECT_EQ(pageNames(sectionsOfSite(site.path())),
            (std::vector<std::string>{"alpha.html", "Beta.html", "gamma.html", "lf.html", "Listed.html"}));
}

TEST(ExportSections, sectionsOfAMenuStartedAnewStayInTheExportAndTheSearch) {
  TempFolder root;
  writeShortcut(root / "source" / "Old", "a", "http://old.example/a");
  writeShortcut(root / "source" / "Older", "b", "http://older.example/b");
  fs::create_directories(root / "site");
  ASSERT_EQ(convert(root / "source", root / "site").error, "");

  // The menu page is deleted; the next run starts it anew with the new section only.
  fs::remove(root / "site" / "Frame2.html");
  writeShortcut(root / "source" / "New", "c", "http://new.example/c");
  const RunReport report = convert(root / "source", root / "site");
  ASSERT_EQ(report.error, "");
  ASSERT_EQ(report.exportProblem, "");
  EXPECT_EQ(readFile(root / "site" / "Frame2.html"), menuHeaderLine() + "\r\n" + menuOf("New.html", "New"));

  const std::string bookmarks = readFile(root / "site" / "export" / std::string(kBookmarksFileName));
  EXPECT_EQ(hrefsOf(bookmarks),
            (std::vector<std::string>{"http://new.example/c", "http://old.example/a", "http://older.example/b"}));
  EXPECT_NE(bookmarks.find("<H3>Older</H3>"), std::string::npos) << bookmarks;
  const std::string searchData = readFile(root / "site" / "export" / std::string(kSearchDataFileName));
  EXPECT_NE(searchData.find("[\"Older\",1,\"Older.html\"]"), std::string::npos) << searchData;
  EXPECT_NE(searchParts(root / "site").find("\\nb\\thttp://older.example/b\\n"), std::string::npos);
}

TEST(ExportSections, characterReferencesInHrefsAreDecodedOnceAsABrowserDoes) {
  std::vector<std::string> addresses;
  LinkLineReader reader([&addresses](const PageLink& link) { addresses.push_back(link.address); });
  for (const char* href : {
           "https://q.example/?a=1&amp;b=2",        // as a person writes it in a page
           "https://q.example/?c=&#38;&#x26;d",     // numeric references
           "https://q.example/?e=&quot;f&quot;",    // a quote, percent-encoded as the program writes it
           "https://q.example/?g=1&copy=2&amp=3",   // no ';': not a reference in an attribute
           "https://q.example/&#10;line&#9;break",  // a line break in a reference is dropped like any other
           "&#32;https://q.example/trimmed&#32;",
           "https://q.example/&amp;amp;",  // decoded once only
       }) {
    reader.readLine(std::string("<a href=\"") + href + "\" target=index>x</a><br>\r");
  }
  reader.readLine("<a href=\"&#106;avascript:alert(1)\" target=index>code</a><br>\r");  // still refused
  reader.finish();
  EXPECT_EQ(addresses, (std::vector<std::string>{
                           "https://q.example/?a=1&b=2",
                           "https://q.example/?c=&&d",
                           "https://q.example/?e=%22f%22",
                           "https://q.example/?g=1&copy=2&amp=3",
                           "https://q.example/linebreak",
                           "https://q.example/trimmed",
                           "https://q.example/&amp;",
                       }));

  // In the export: escaped once in the bookmark file, as it is in the search data.
  TempFolder site;
  writeFile(site / "Frame2.html", menuHeaderLine() + "\r\n" + menuOf("S.html", "S"));
  writeFile(site / "S.html", kHeader + linkOf("https://q.example/?a=1&amp;b=2", "query"));
  ASSERT_EQ(writeSiteExport(site.path(), TREVANTO_TEMPLATES_DIR).problem, "");
  EXPECT_EQ(hrefsOf(readFile(site / "export" / std::string(kBookmarksFileName))),
            std::vector<std::string>{"https://q.example/?a=1&amp;b=2"});
  EXPECT_NE(searchParts(site.path()).find("\"query\\thttps://q.example/?a=1&b=2\\n\""), std::string::npos);
}

// The export says what it wrote: the sections and links of the files written, and nothing
// written when no page changed since.
TEST(ExportSections, exportTellsWhatItWroteAndWhenItWroteNothing) {
  TempFolder site;
  writeFile(site / "Frame2.html", menuHeaderLine() + "\r\n" + menuOf("A.html", "A"));
  writeFile(site / "A.html", kHeader + linkOf("https://a.example/1", "one") + linkOf("https://a.example/2", "two"));
  writeFile(site / "B.html", kHeader + linkOf("https://b.example/", "unlisted"));
  const ExportResult first = writeSiteExport(site.path(), TREVANTO_TEMPLATES_DIR);
  EXPECT_EQ(first.problem, "");
  EXPECT_TRUE(first.written);
  EXPECT_EQ(first.sections, 2U);
  EXPECT_EQ(first.links, 3U);
  const ExportResult again = writeSiteExport(site.path(), TREVANTO_TEMPLATES_DIR);
  EXPECT_EQ(again.problem, "");
  EXPECT_FALSE(again.written);
}

// SPDX-License-Identifier: MIT
// Faults the fuzz targets found, kept as plain cases. Their inputs also stay in the seed
// corpus, which the replay tests run.
#include <gtest/gtest.h>

#include <fstream>

#include "base/charset.h"
#include "base/text.h"
#include "fault_support.h"
#include "site/page_format.h"
#include "site/page_search.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"
#include "test_support.h"

namespace trevanto::testing {
namespace {

using namespace trevanto::base;
using namespace trevanto::site;

// A browser decodes character references in an href before it reads the scheme.
TEST(FoundFaults, schemeSpelledWithCharacterReferences_isUnsafe) {
  for (const char* address : {"javascript&colon;alert(1)", "&#106;avascript:alert(1)", "&#x6A;avascript:alert(1)",
                              "&#X6a;avascript:alert(1)", "&#0000106avascript:alert(1)", "java&Tab;script:alert(1)",
                              "java&NewLine;script:alert(1)", "&#32;&#9;javascript:alert(1)", "vbscript&#58;msgbox(1)",
                              "DATA&colon;text/html,<script>alert(1)</script>", "JaVa&#x09;ScRiPt&#x3a;alert(1)"}) {
    EXPECT_TRUE(isUnsafeAddress(address)) << address;
  }
  // Ordinary addresses with '&' stay safe, and a reference that is itself escaped is no reference.
  for (const char* address : {"http://example.org/?a=1&b=2", "http://example.org/a&#106;b", "&amp;#106;avascript:x",
                              "https://example.org/&colon;", "mailto:a@example.org?subject=a&amp;b"}) {
    EXPECT_FALSE(isUnsafeAddress(address)) << address;
  }
}

TEST(FoundFaults, runSkipsAddressesThatReadAsCodeInThePage) {
  TempFolder temp;
  writeShortcut(temp / "src/News", "colon", "javascript&colon;alert(document.cookie)");
  writeShortcut(temp / "src/News", "numeric", "&#106;avascript:alert(1)");
  writeShortcut(temp / "src/News", "plain", "http://example.org/?a=1&b=2");
  std::filesystem::create_directories(temp / "site");

  const RunReport report = convert(temp / "src", temp / "site");
  ASSERT_FALSE(report.failed()) << report.error;
  EXPECT_EQ(report.ConvertedCount, 1);
  ASSERT_EQ(report.skipped.size(), 2u);
  for (const SkippedShortcut& skipped : report.skipped)
    EXPECT_NE(skipped.reason.find("небезопасный"), std::string::npos);
  EXPECT_EQ(linkTargets(temp / "site/News.html"), std::vector<std::string>{"http://example.org/?a=1&b=2"});
}

// The menu's reference to a section page must lead to that page and nowhere else.
TEST(FoundFaults, menuReferenceNeverReadsAsAScheme) {
  EXPECT_EQ(menuLine("javascript:alert(1)"),
            "<a href=\"javascript%3Aalert(1).html\"target=Frame3>javascript:alert(1)</a><br />");
  EXPECT_EQ(menuLine("javascript&colon;alert(1)"),
            "<a href=\"javascript%26colon;alert(1).html\"target=Frame3>javascript&amp;colon;alert(1)</a><br />");
  EXPECT_EQ(menuLine("&#106;x"), "<a href=\"%26%23106;x.html\"target=Frame3>&amp;#106;x</a><br />");
  EXPECT_EQ(menuLine("a\\b"), "<a href=\"a%5Cb.html\"target=Frame3>a\\b</a><br />");
  // An '&' that cannot begin a reference stays, so such names are written as before.
  EXPECT_EQ(menuLine("Music & Video"), "<a href=\"Music & Video.html\"target=Frame3>Music &amp; Video</a><br />");
}

TEST(FoundFaults, menuReferenceKeepsBlanksAtItsEnds) {
  EXPECT_EQ(menuLine(" News"), "<a href=\"%20News.html\"target=Frame3> News</a><br />");
  EXPECT_EQ(menuLine("Old News"), "<a href=\"Old News.html\"target=Frame3>Old News</a><br />");
}

TEST(FoundFaults, runWritesMenuReferencesThatFindTheirPages) {
  TempFolder temp;
  const std::vector<std::string> sections = {"javascript:alert(1)", " lead", "a\\b", "x&#58;y"};
  for (const std::string& section : sections) writeShortcut(temp / "src" / section, "one", "http://example.org/");
  std::filesystem::create_directories(temp / "site");

  const RunReport report = convert(temp / "src", temp / "site");
  ASSERT_FALSE(report.failed()) << report.error;
  Expected expected;
  for (const std::string& section : sections) expected[section] = {"http://example.org/"};
  expectCompleteSite(temp / "site", expected);
}

// An address ending in "href=" closes into one more href=" that runs into the next line.
TEST(FoundFaults, linkIndexStaysExactAfterAnAddressEndingInHref) {
  TempFolder temp;
  const std::filesystem::path page = temp / "page.html";
  writeFile(page, sectionHeaderLine() + std::string(kLineEnd));
  PageLinkIndex index;
  index.load(page);
  std::string written = readFile(page);
  for (const std::string address : {"http://example.org/?href=", "http://example.org/next"}) {
    const std::string line = linkLine(address, "name") + std::string(kLineEnd);
    std::ofstream(page, std::ios::binary | std::ios::app) << line;
    written += line;
    index.add(address);
  }
  const std::string between = " target=index>name</a><br>\r\n<a href=";
  ASSERT_NE(written.find(hrefNeedle(between)), std::string::npos);
  EXPECT_TRUE(index.holdsLinkTo(between));
  EXPECT_TRUE(index.holdsLinkTo("http://example.org/?href="));
  EXPECT_TRUE(index.holdsLinkTo("http://example.org/next"));
  EXPECT_FALSE(index.holdsLinkTo("http://example.org/"));
}

}  // namespace
}  // namespace trevanto::testing

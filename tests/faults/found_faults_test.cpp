// Faults the fuzz targets found, kept as plain cases. Their inputs also stay in the seed
// corpus, which the replay tests run.
#include <gtest/gtest.h>

#include <fstream>

#include "fault_support.h"
#include "site/page_format.h"
#include "site/page_search.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"
#include "test_support.h"

namespace trevanto::testing {
namespace {

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
  for (const SkippedShortcut& skipped : report.skipped) EXPECT_NE(skipped.reason.find("небезопасный"), std::string::npos);
  EXPECT_EQ(linkTargets(temp / "site/News.html"), std::vector<std::string>{"http://example.org/?a=1&b=2"});
}

}  // namespace
}  // namespace trevanto::testing

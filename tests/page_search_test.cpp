// SPDX-License-Identifier: MIT
#include "site/page_search.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

using namespace trevanto::site;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;

TEST(PoiskKomb, findsTextAnywhereWhateverTheChunkSize) {
  TempFolder folder;
  const auto page = folder / "page.html";
  std::string text(3000, '.');
  const std::string needle = "href=\"http://a.example/x\"";
  for (std::size_t at : {std::size_t{0}, std::size_t{1000}, std::size_t{1017}, std::size_t{3000 - needle.size()}}) {
    std::string withNeedle = text;
    withNeedle.replace(at, needle.size(), needle);
    writeFile(page, withNeedle);
    for (std::size_t chunk : std::initializer_list<std::size_t>{1, 2, 7, 24, 25, 26, 1023, 1024, 4096, 65536}) {
      EXPECT_FALSE(PoiskKomb(page, needle, chunk)) << "at " << at << " chunk " << chunk;
    }
  }
  writeFile(page, text);
  for (std::size_t chunk : std::initializer_list<std::size_t>{1, 24, 1024}) EXPECT_TRUE(PoiskKomb(page, needle, chunk));
}

TEST(PoiskKomb, handlesEmptyPagesLongTextsAndExactCase) {
  TempFolder folder;
  const auto page = folder / "page.html";
  writeFile(page, "");
  EXPECT_TRUE(PoiskKomb(page, "x"));

  const std::string longNeedle(5000, 'a');
  writeFile(page, "b" + longNeedle + "b");
  EXPECT_FALSE(PoiskKomb(page, longNeedle, 16));
  EXPECT_TRUE(PoiskKomb(page, longNeedle + "a", 16));
  EXPECT_TRUE(PoiskKomb(page, "B"));

  writeFile(page, "line one\r\nline two\r\n");
  EXPECT_FALSE(PoiskKomb(page, "one\r\nline", 3));
  EXPECT_THROW(PoiskKomb(folder / "missing.html", "x"), std::runtime_error);
}

TEST(PageLinkIndex, answersExactlyForWholeTargetsOnly) {
  TempFolder folder;
  const auto page = folder / "page.html";
  writeFile(page,
            "<body bgColor=#BBC4C1><P align=center> <FONT color=#808080 face=Arial size=1>\r\n"
            "<a href=\"http://a.org/xy\" target=index>http://a.org/x</a><br>\r\n"
            "<a href=\"http://old.example/\r\nModified=AB\" target=index>Old</a><br>\r\n"
            "<a href=\"one href=\"two\" target=index>nested</a><br>\r\n");
  for (std::size_t chunk : std::initializer_list<std::size_t>{1, 5, 64, 65536}) {
    PageLinkIndex index;
    index.load(page, chunk);
    ASSERT_TRUE(index.complete());
    EXPECT_TRUE(index.holdsLinkTo("http://a.org/xy"));
    EXPECT_FALSE(index.holdsLinkTo("http://a.org/x"));  // the beginning of a longer address
    EXPECT_FALSE(index.holdsLinkTo("http://a.org/"));
    EXPECT_TRUE(index.holdsLinkTo("http://old.example/\r\nModified=AB"));
    EXPECT_TRUE(index.holdsLinkTo("one href="));
    EXPECT_TRUE(index.holdsLinkTo("two"));
    // A target holding a quote is answered by the page itself.
    EXPECT_TRUE(index.holdsLinkTo("one href=\"two"));
    EXPECT_FALSE(index.holdsLinkTo("#BBC4C1"));
  }
}

TEST(PageLinkIndex, missingPageIsEmptyAndWrittenLinksAreAdded) {
  TempFolder folder;
  PageLinkIndex index;
  index.load(folder / "new.html");
  EXPECT_FALSE(index.holdsLinkTo("http://a.example/"));
  index.add("http://a.example/");
  EXPECT_TRUE(index.holdsLinkTo("http://a.example/"));
}

TEST(PageLinkIndex, overBudgetOrUnfinishedPagesFallBackToTheSearch) {
  TempFolder folder;
  const auto page = folder / "page.html";
  std::string text;
  for (int i = 0; i < 200; ++i) text += "<a href=\"http://a.example/" + std::to_string(i) + "\">x</a>\r\n";
  writeFile(page, text);
  PageLinkIndex small(1024);
  small.load(page);
  EXPECT_FALSE(small.complete());
  EXPECT_TRUE(small.holdsLinkTo("http://a.example/199"));
  EXPECT_FALSE(small.holdsLinkTo("http://a.example/200"));

  writeFile(page, "<a href=\"http://a.example/unfinished");
  PageLinkIndex open;
  open.load(page);
  EXPECT_FALSE(open.complete());
  EXPECT_FALSE(open.holdsLinkTo("http://a.example/unfinished"));
}

// SPDX-License-Identifier: MIT
#include "site/text_encoding.h"

#include <gtest/gtest.h>

#include "base/charset.h"
#include "base/text.h"

using namespace trevanto::base;
using namespace trevanto::site;

TEST(Windows1251, cyrillicAndPunctuationRoundTripThroughPageText) {
  // "Ёж №5 — €" in UTF-8, then the same in Windows-1251 bytes.
  const std::string utf8 =
      "\xD0\x81\xD0\xB6 \xE2\x84\x96"
      "5 \xE2\x80\x94 \xE2\x82\xAC";
  const std::string cp1251 =
      "\xA8\xE6 \xB9"
      "5 \x97 \x88";
  EXPECT_EQ(htmlTextWindows1251(utf8), cp1251);
  EXPECT_EQ(windows1251ToUtf8(cp1251), utf8);
  // Every byte survives the trip from a name on an old disk into a page, 0x98 included.
  std::string allHigh;
  for (int b = 0x80; b <= 0xFF; ++b) allHigh.push_back(static_cast<char>(b));
  EXPECT_EQ(htmlTextWindows1251(windows1251ToUtf8(allHigh)), allHigh);
}

TEST(Windows1251, pageTextEscapesMarkupAndWhatItCannotHold) {
  EXPECT_EQ(htmlTextWindows1251("Tom & Jerry <b>\"x\"</b>"), "Tom &amp; Jerry &lt;b&gt;&quot;x&quot;&lt;/b&gt;");
  EXPECT_EQ(htmlTextWindows1251("\xE6\xBC\xA2 \xF0\x9F\x98\x80"), "&#28450; &#128512;");
  EXPECT_EQ(htmlTextWindows1251("a\nb\x7F"), "a&#10;b&#127;");
  EXPECT_EQ(htmlTextWindows1251("plain name"), "plain name");
}

TEST(FileNames, validUtf8IsKeptAndAnythingElseIsWindows1251) {
  EXPECT_EQ(fileNameToUtf8("\xD0\x9D\xD0\xBE\xD0\xB2"), "\xD0\x9D\xD0\xBE\xD0\xB2");
  EXPECT_EQ(fileNameToUtf8("\xCD\xEE\xE2"), "\xD0\x9D\xD0\xBE\xD0\xB2");  // "Нов" copied from an old disk
  EXPECT_EQ(fileNameToUtf8("\xC0\x80"), "\xD0\x90\xD0\x82");              // an overlong form is not UTF-8
}

TEST(AddressForPage, keepsAsciiAndEncodesWhatWouldBreakTheAttribute) {
  EXPECT_EQ(addressForPage("https://a.example/p?x=1&y=2#top;v,w%20"), "https://a.example/p?x=1&y=2#top;v,w%20");
  EXPECT_EQ(addressForPage("http://a.example/\"><script>"), "http://a.example/%22%3E%3Cscript%3E");
  EXPECT_EQ(addressForPage("http://a.example/\r\n\t\x7F"), "http://a.example/%0D%0A%09%7F");
  EXPECT_EQ(addressForPage("http://a.example/\xD0\xB3\xD0\xBE\xD0\xB4"), "http://a.example/%D0%B3%D0%BE%D0%B4");
}

TEST(FileReferenceForPage, encodesBytesThatWouldChangeTheReference) {
  EXPECT_EQ(fileReferenceForPage("News & Co.html"), "News & Co.html");
  EXPECT_EQ(fileReferenceForPage("a#b?c%d\"<>.html"), "a%23b%3Fc%25d%22%3C%3E.html");
  EXPECT_EQ(fileReferenceForPage("\xD0\x9D\n.html"), "%D0%9D%0A.html");
}

TEST(ShortcutText, byteOrderMarkDecidesThenUtf8ThenWindows1251) {
  EXPECT_EQ(decodeShortcutText("\xEF\xBB\xBFURL=\xD0\xB3"), "URL=\xD0\xB3");
  EXPECT_EQ(decodeShortcutText(std::string("\xFF\xFEU\0R\0L\0=\0\x33\x04", 12)), "URL=\xD0\xB3");
  EXPECT_EQ(decodeShortcutText(std::string("\xFE\xFF\0U\0R\0L\0=\x04\x33", 12)), "URL=\xD0\xB3");
  EXPECT_EQ(decodeShortcutText("URL=\xD0\xB3"), "URL=\xD0\xB3");
  EXPECT_EQ(decodeShortcutText("URL=\xE3"), "URL=\xD0\xB3");
  // A lone surrogate in UTF-16 does not throw away the rest.
  EXPECT_EQ(decodeShortcutText(std::string("\xFF\xFE\x00\xD8"
                                           "a\0",
                                           6)),
            "\xEF\xBF\xBD"
            "a");
}

TEST(Utf7, decodesTheWideCopyOfAnAddress) {
  EXPECT_EQ(utf7ToUtf8("http://a.example/+BDMEPgQ0-/x"), "http://a.example/\xD0\xB3\xD0\xBE\xD0\xB4/x");
  EXPECT_EQ(utf7ToUtf8("a+-b"), "a+b");
  EXPECT_EQ(utf7ToUtf8("+BDM."), "\xD0\xB3.");            // ends at any non-base64 character
  EXPECT_EQ(utf7ToUtf8("+2D3eAA-"), "\xF0\x9F\x98\x80");  // a surrogate pair
  EXPECT_EQ(utf7ToUtf8("+BD-"), std::nullopt);            // a cut-off code unit
  EXPECT_EQ(utf7ToUtf8("caf\xC3\xA9"), std::nullopt);
  // A '+' that shifts nothing, and surrogates without their other half.
  EXPECT_EQ(utf7ToUtf8("a+!b"), std::nullopt);
  EXPECT_EQ(utf7ToUtf8("a+"), std::nullopt);
  EXPECT_EQ(utf7ToUtf8("+2D0-x"), std::nullopt);
  EXPECT_EQ(utf7ToUtf8("+3gA-"), std::nullopt);
}

TEST(PageTextToUtf8, readsPageTextAsABrowserShowsIt) {
  // Whatever htmlTextWindows1251 writes comes back as it was.
  const std::string name = "Tom & Jerry <b>\"x\"</b> \xD0\x81\xD0\xB6 \xE6\xBC\xA2 \xF0\x9F\x98\x80";
  EXPECT_EQ(pageTextToUtf8(htmlTextWindows1251(name)), name);
  EXPECT_EQ(pageTextToUtf8("&#x401;&#1025&nbsp;&hellip;"), "\xD0\x81\xD0\x81\xC2\xA0\xE2\x80\xA6");
  // Texts that only look like references stay as they are; references to no character do not.
  EXPECT_EQ(pageTextToUtf8("AT&T &amp &unknown; &# &#x;"), "AT&T &amp &unknown; &# &#x;");
  EXPECT_EQ(pageTextToUtf8("&#0;&#xD800;&#99999999;"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(JavaScriptString, isAsciiAndCannotEndTheStringOrTheScript) {
  EXPECT_EQ(javaScriptString("a\"b\\c</script>"), "\"a\\\"b\\\\c\\u003C/script>\"");
  EXPECT_EQ(javaScriptString("\n\x7F\xD0\x81\xE2\x80\xA8\xF0\x9F\x98\x80"),
            "\"\\u000A\\u007F\\u0401\\u2028\\uD83D\\uDE00\"");
  EXPECT_EQ(javaScriptString("\xFF"), "\"\\uFFFD\"");  // not UTF-8
}

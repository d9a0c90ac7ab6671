// SPDX-License-Identifier: MIT
#include "page_format.h"

#include "base/charset.h"
#include "base/text.h"
#include "text_encoding.h"

namespace trevanto::site {

std::string sectionHeaderLine() {
  return "<body bgColor=#BBC4C1><P align=center> <FONT color=#808080 face=Arial size=1>";
}

std::string linkLine(std::string_view address, std::string_view rawLinkName) {
  std::string line = "<a href=\"";
  line += address;
  line += "\" target=index>";
  line += htmlTextWindows1251(base::fileNameToUtf8(rawLinkName));
  line += "</a><br>";
  return line;
}

std::string menuHeaderLine() {
  return "<body bgColor=#BBC4C1><hr /><a href=\"Frame3.html\" target=Frame3 face=Arial size=2>"
         "<P align=center><FONT color=\"#FF0000\"><B>" +
         htmlTextWindows1251("ГЛАВНАЯ СТРАНИЦА") +
         "</B></font></a><br><P align=center> <FONT color=#000040 face=Arial size=4>";
}

std::string menuLine(std::string_view rawSectionName) {
  std::string line = "<a href=\"";
  line += fileReferenceForPage(std::string(rawSectionName) + std::string(kPageSuffix));
  line += "\"target=Frame3>";
  line += htmlTextWindows1251(base::fileNameToUtf8(rawSectionName));
  line += "</a><br />";
  return line;
}

bool isOwnPageName(std::string_view fileName, LetterCase letterCase) {
  const auto same = [letterCase](std::string_view a, std::string_view b) {
    return letterCase == LetterCase::Exact ? a == b : base::equalsIgnoringAsciiCase(a, b);
  };
  if (same(fileName, kMenuPageName)) return true;
  for (std::string_view templateName : kTemplateNames) {
    if (same(fileName, templateName)) return true;
  }
  return false;
}

}  // namespace trevanto::site

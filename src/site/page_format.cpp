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

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
// Freedesktop links: a .desktop file whose [Desktop Entry] has Type=Link and a URL.
#include <optional>

#include "base/charset.h"
#include "base/text.h"
#include "formats.h"

namespace trevanto::import {
namespace {

// The escapes of a freedesktop string value.
std::string unescapeDesktopValue(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out.push_back(value[i]);
      continue;
    }
    switch (value[++i]) {
      case 's':
        out.push_back(' ');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'r':
        out.push_back('\r');
        break;
      default:
        out.push_back(value[i]);
    }
  }
  return out;
}

}  // namespace

LinkFile readDesktopEntry(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  bool inEntry = false;
  bool seenGroup = false;
  bool isLink = false;
  std::optional<std::string> url;
  for (std::string_view line : base::splitLines(bytes)) {
    line = base::trimBlanks(line);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      if (seenGroup) break;  // only the first group, [Desktop Entry], counts
      seenGroup = true;
      inEntry = line == "[Desktop Entry]";
      if (!inEntry) break;
      continue;
    }
    if (!inEntry) break;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = base::trimBlanks(line.substr(0, equals));
    const std::string_view value = base::trimBlanks(line.substr(equals + 1));
    if (key == "Type") isLink = value == "Link";
    // URL[$e]= is a path the shell expands, not an address.
    if (key == "URL" && !url) url = unescapeDesktopValue(value);
  }
  LinkFile link;
  link.known = inEntry && isLink;
  if (link.known && url) link.address = base::fileNameToUtf8(*url);
  return link;
}

std::unique_ptr<Reader> makeDesktopEntryReader() { return makeLinkFileReader("ярлык", "desktop", readDesktopEntry, nullptr); }

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
#include "section_names.h"

#include <algorithm>
#include <array>

#include "base/charset.h"
#include "base/text.h"
#include "page_format.h"

namespace trevanto::site {
namespace {

bool isLineBreak(char32_t cp) { return cp == '\r' || cp == '\n' || cp == 0x85 || cp == 0x2028 || cp == 0x2029; }
bool isControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }
bool isForbidden(char32_t cp) {
  return cp == '/' || cp == '\\' || cp == ':' || cp == '*' || cp == '?' || cp == '"' || cp == '<' || cp == '>' ||
         cp == '|';
}

void trimEnd(std::string& name) {
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
}

// The longest start of a UTF-8 text within maxCharacters characters and maxBytes bytes.
std::string_view capped(std::string_view utf8, std::size_t maxCharacters, std::size_t maxBytes) {
  std::size_t characters = 0;
  std::size_t pos = 0;
  while (pos < utf8.size() && characters < maxCharacters) {
    char32_t cp = 0;
    const std::size_t len = std::max<std::size_t>(base::decodeUtf8At(utf8, pos, cp), 1);
    if (pos + len > maxBytes) break;
    pos += len;
    ++characters;
  }
  return utf8.substr(0, pos);
}

std::size_t characterCount(std::string_view utf8) {
  std::size_t count = 0;
  for (char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

constexpr std::array<std::string_view, 24> kDeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",   "COM8",
    "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9", "CONIN$", "CONOUT$"};

// Windows reserves a device name also with an extension after it ("nul.txt"), so the part
// before the first dot decides.
bool startsWithDeviceName(std::string_view name, std::size_t& stemLength) {
  stemLength = std::min(name.find('.'), name.size());
  const std::string_view stem = name.substr(0, stemLength);
  for (std::string_view device : kDeviceNames) {
    if (base::equalsIgnoringAsciiCase(stem, device)) return true;
  }
  return false;
}

std::string safeNameKeeping(std::string_view title, bool leadingDot) {
  std::string name;
  name.reserve(title.size());
  for (std::size_t pos = 0; pos < title.size();) {
    char32_t cp = 0;
    std::size_t len = base::decodeUtf8At(title, pos, cp);
    if (len == 0) {
      name.push_back('_');
      ++pos;
      continue;
    }
    if (cp == '\r' && pos + 1 < title.size() && title[pos + 1] == '\n') ++len;  // CR LF is one break
    pos += len;
    if (isLineBreak(cp)) {
      name.push_back(' ');
    } else if (isControl(cp) || isForbidden(cp)) {
      name.push_back('_');
    } else {
      base::appendUtf8(name, cp);
    }
  }
  const std::size_t start = std::min(name.find_first_not_of(' '), name.size());
  name.erase(0, start);
  // A dot file is hidden; a name that begins with two dots looks like a way up.
  if (!name.empty() && name.front() == '.' && (!leadingDot || name.size() == 1 || name[1] == '.')) name.front() = '_';
  trimEnd(name);
  name.resize(capped(name, kMaxNameCharacters, kMaxNameBytes).size());
  trimEnd(name);
  // After the cut: a long name can come down to a device name ("CON" and blanks).
  if (std::size_t stem = 0; !name.empty() && startsWithDeviceName(name, stem)) {
    name = name.substr(0, stem) + '_' + name.substr(stem);
    name.resize(capped(name, kMaxNameCharacters, kMaxNameBytes).size());
    trimEnd(name);
  }
  return name;
}

}  // namespace

std::string safeName(std::string_view title) { return safeNameKeeping(title, false); }

std::string safeFolderTitle(std::string_view title) { return safeNameKeeping(title, true); }

std::string withSuffix(std::string_view safe, std::string_view suffix) {
  const std::size_t suffixCharacters = characterCount(suffix);
  std::string name(capped(safe, kMaxNameCharacters - std::min(suffixCharacters, kMaxNameCharacters),
                          kMaxNameBytes - std::min(suffix.size(), kMaxNameBytes)));
  name += suffix;
  return name;
}

std::string sectionName(const std::vector<std::string>& safeFolderTitles, std::string_view namedSection) {
  std::string joined;
  for (const std::string& title : safeFolderTitles) {
    if (title.empty()) continue;
    if (!joined.empty()) joined += kFolderSeparator;
    joined += title;
  }
  return sectionNameOfJoined(joined, namedSection);
}

std::string sectionNameOfJoined(std::string_view joined, std::string_view namedSection) {
  std::string name = joined.empty() ? std::string(namedSection) : safeFolderTitle(joined);
  // A section named after one of the site's own pages would have no page of its own.
  if (isOwnPageName(name + std::string(kPageSuffix), LetterCase::Any)) return withSuffix(name, " _");
  return name;
}

void appendFolderTitle(std::string& joined, std::string_view title) {
  const std::string safe = safeFolderTitle(title);
  if (safe.empty() || joined.size() >= kJoinedBytes) return;
  if (!joined.empty()) joined += kFolderSeparator;
  joined += safe;
  if (joined.size() <= kJoinedBytes) return;
  std::size_t end = kJoinedBytes;
  while (end > 0 && (static_cast<unsigned char>(joined[end]) & 0xC0) == 0x80) --end;
  joined.resize(end);
}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
#include "shortcut_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/text.h"
#include "text_encoding.h"

namespace trevanto::site {
namespace {

using base::splitLines;
using base::trimBlanks;

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Consumes one separator (comma, CR LF, CR or LF) at pos, if one stands there.
std::size_t skipSeparator(std::string_view bytes, std::size_t pos) {
  if (pos >= bytes.size()) return pos;
  if (bytes[pos] == ',' || bytes[pos] == '\n') return pos + 1;
  if (bytes[pos] == '\r') return (pos + 1 < bytes.size() && bytes[pos + 1] == '\n') ? pos + 2 : pos + 1;
  return pos;
}

}  // namespace

std::string OUT_Path(std::string_view fileBytes) {
  std::string LinkText;
  std::size_t pos = 0;
  while (pos < fileBytes.size()) {
    while (pos < fileBytes.size() && fileBytes[pos] == ' ') ++pos;
    std::string_view field;
    if (pos < fileBytes.size() && fileBytes[pos] == '"') {
      const std::size_t close = fileBytes.find('"', pos + 1);
      const std::size_t end = close == std::string_view::npos ? fileBytes.size() : close;
      field = fileBytes.substr(pos + 1, end - pos - 1);
      pos = end == fileBytes.size() ? end : end + 1;
      while (pos < fileBytes.size() && fileBytes[pos] != ',' && !isLineEnd(fileBytes[pos])) ++pos;
    } else {
      const std::size_t start = pos;
      while (pos < fileBytes.size() && fileBytes[pos] != ',' && !isLineEnd(fileBytes[pos])) ++pos;
      field = fileBytes.substr(start, pos - start);
    }
    pos = skipSeparator(fileBytes, pos);
    LinkText += field;
    LinkText += "\r\n";
  }
  return LinkText;
}

std::optional<std::string> Poisk(std::string_view LinkText) {
  const std::size_t found = LinkText.find("URL");
  if (found == std::string_view::npos) return std::string();
  // Counts of the 1-based original: remainder = Len - p - 3 with p = found + 1.
  const auto len = static_cast<std::int64_t>(LinkText.size());
  const std::int64_t remainderLength = len - static_cast<std::int64_t>(found + 1) - 3;
  if (remainderLength < 0) return std::nullopt;
  const std::int64_t keep = remainderLength - 3;
  if (keep < 0) return std::nullopt;
  const auto start = static_cast<std::size_t>(len - remainderLength);
  return std::string(LinkText.substr(start, static_cast<std::size_t>(keep)));
}

std::optional<std::string> oldLinkText(std::string_view fileBytes) { return Poisk(OUT_Path(fileBytes)); }

std::string readShortcutAddress(std::string_view fileBytes) {
  const std::string text = decodeShortcutText(fileBytes);
  enum class Section { Other, Shortcut, ShortcutW };
  Section section = Section::Other;
  bool seenShortcut = false;
  bool seenShortcutW = false;
  std::optional<std::string> fromShortcut, fromShortcutW, fromAnyLine;

  for (std::string_view line : splitLines(text)) {
    line = trimBlanks(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      const std::string_view name = trimBlanks(line.substr(1, line.size() - 2));
      section = Section::Other;
      if (base::equalsIgnoringAsciiCase(name, "InternetShortcut") && !seenShortcut) {
        section = Section::Shortcut;
        seenShortcut = true;
      } else if (base::equalsIgnoringAsciiCase(name, "InternetShortcut.W") && !seenShortcutW) {
        section = Section::ShortcutW;
        seenShortcutW = true;
      }
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (!base::equalsIgnoringAsciiCase(trimBlanks(line.substr(0, equals)), "URL")) continue;
    std::string_view value = trimBlanks(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);

    // The first URL line decides, empty or not: a later one does not stand in for it.
    if (!fromAnyLine) fromAnyLine = std::string(value);
    if (section == Section::Shortcut && !fromShortcut) fromShortcut = std::string(value);
    if (section == Section::ShortcutW && !fromShortcutW)
      fromShortcutW = base::utf7ToUtf8(value).value_or(std::string());
  }
  if (fromShortcutW && !fromShortcutW->empty()) return *fromShortcutW;
  if (fromShortcut) return *fromShortcut;
  return fromAnyLine.value_or(std::string());
}

namespace {

// The address as a browser reads it from the href attribute, where character references are
// decoded before the address is parsed: "javascript&colon;" and "&#106;avascript:" name the
// same scheme as "javascript:". Only references that give ASCII can form or hide a scheme;
// others are left as they stand, which ends the scheme just as their character would.
std::string addressAsReadFromPage(std::string_view address) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {{"colon;", ':'}, {"Tab;", '\t'}, {"NewLine;", '\n'}};
  std::string out;
  for (std::size_t i = 0; i < address.size();) {
    if (address[i] != '&') {
      out.push_back(address[i++]);
      continue;
    }
    std::size_t next = i + 1;
    std::uint32_t code = 0;
    if (next < address.size() && address[next] == '#') {
      if (const auto reference = readNumericReference(address, next); reference && reference->value < 0x80) {
        code = reference->value;
        next = reference->end;
      }
    } else {
      for (const auto& [name, character] : kNamed) {
        if (address.substr(next).starts_with(name)) {
          code = static_cast<unsigned char>(character);
          next += name.size();
          break;
        }
      }
    }
    if (code == 0) {
      out.push_back(address[i++]);
    } else {
      out.push_back(static_cast<char>(code));
      i = next;
    }
  }
  return out;
}

}  // namespace

std::string schemeAsRead(std::string_view rawAddress) {
  const std::string address = addressAsReadFromPage(rawAddress);
  std::size_t start = 0;
  while (start < address.size() && static_cast<unsigned char>(address[start]) <= 0x20) ++start;
  std::string scheme;
  for (std::size_t i = start; i < address.size() && scheme.size() < 16; ++i) {
    const char c = address[i];
    if (c == '\t' || c == '\r' || c == '\n') continue;
    if (c == ':') return base::asciiLower(scheme);
    scheme.push_back(c);
  }
  return {};
}

bool isUnsafeAddress(std::string_view address) {
  const std::string scheme = schemeAsRead(address);
  return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

ShortcutFile loadShortcutFile(const std::filesystem::path& path) {
  // A file that grows while being read is read up to the limit only.
  return base::readFile(path, kMaxShortcutBytes);
}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
// The texts of the site: shortcut text read as Unicode, and names, addresses and file
// references written into pages in Windows-1251.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trevanto::site {

// Shortcut text to UTF-8: a byte-order mark (UTF-8, UTF-16 LE/BE) decides; without one,
// valid UTF-8 holding a non-ASCII byte is UTF-8 and anything else Windows-1251.
std::string decodeShortcutText(std::string_view bytes);

// A numeric character reference ("&#N;" or "&#xH;", the ';' optional) whose '#' stands at
// hashPos: its value, capped at 0x110000, and the position after it; none when no digit follows.
struct NumericReference {
  std::uint32_t value;
  std::size_t end;
};
std::optional<NumericReference> readNumericReference(std::string_view text, std::size_t hashPos);

// Text for a page, in Windows-1251: '&', '<', '>' and '"' as character references,
// control characters and characters Windows-1251 cannot hold as "&#N;".
std::string htmlTextWindows1251(std::string_view utf8);

// An address for an href attribute: ASCII as it is except '"', '<', '>' and control
// characters, which are percent-encoded; every non-ASCII character as percent-encoded UTF-8.
std::string addressForPage(std::string_view utf8);

// A file name for an href attribute: its bytes as they are, except '"', '<', '>', '#', '?',
// '%', ':', '\\', a blank at either end, an '&' that could begin a character reference, control
// characters and bytes over 127, which are percent-encoded.
std::string fileReferenceForPage(std::string_view rawName);

// Text of a page as a browser shows it, as UTF-8: Windows-1251 bytes, with numeric character
// references and the common named ones decoded. A reference to no character gives U+FFFD.
std::string pageTextToUtf8(std::string_view windows1251);

// A JavaScript string literal in double quotes, all ASCII: '"', '\\', '<', control and
// non-ASCII characters as \u escapes (outside the BMP as surrogate pairs).
std::string javaScriptString(std::string_view utf8);

// Text for a UTF-8 page (the export's pages and bookmark file): '&', '<', '>' and '"' as
// character references, everything else as it is.
std::string htmlTextUtf8(std::string_view utf8);

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
// Conversions between the encodings met in shortcut files and file names, and the
// Windows-1251 bytes that pages are written in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trevanto::site {

// Code points are carried as UTF-8 in std::string throughout the engine.

// True when the bytes are well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view bytes);
// True when some byte is outside ASCII.
bool hasNonAscii(std::string_view bytes);

std::string windows1251ToUtf8(std::string_view bytes);
// UTF-16 without its byte-order mark; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian);
// UTF-7 as written into the ".W" copy of a shortcut's address; nullopt when malformed: a '+'
// followed by neither a base64 character nor '-', a code unit cut off, an unpaired surrogate or
// a byte outside ASCII.
std::optional<std::string> utf7ToUtf8(std::string_view text);

// Shortcut text to UTF-8: a byte-order mark (UTF-8, UTF-16 LE/BE) decides; without one,
// valid UTF-8 holding a non-ASCII byte is UTF-8 and anything else Windows-1251.
std::string decodeShortcutText(std::string_view bytes);

// A name from the file system as UTF-8: valid UTF-8 is kept, anything else is taken as
// Windows-1251 bytes (names copied from old disks).
std::string fileNameToUtf8(std::string_view rawName);
// A name as the user reads it, in lists and messages: fileNameToUtf8, control characters
// shown as '?'.
std::string displayName(std::string_view rawName);

// A number as shown to the user: a blank in the sign position, then the digits, no grouping.
std::string countText(std::int64_t count);

// Decodes one well-formed UTF-8 sequence at pos into cp; returns its length, or 0 when malformed.
std::size_t decodeUtf8At(std::string_view s, std::size_t pos, char32_t& cp);

// Appends cp as UTF-8.
void appendUtf8(std::string& out, char32_t cp);

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

// Lower-cases ASCII letters only.
constexpr char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
std::string asciiLower(std::string_view text);
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace trevanto::site

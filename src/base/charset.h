// SPDX-License-Identifier: MIT
// Conversions between the charsets met in files and file names: UTF-8, UTF-16, the UTF-7 of a
// shortcut's ".W" copy, and Windows-1251.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trevanto::base {

// Code points are carried as UTF-8 in std::string throughout.

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

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

// A name from the file system as UTF-8: valid UTF-8 is kept, anything else is taken as
// Windows-1251 bytes (names copied from old disks).
std::string fileNameToUtf8(std::string_view rawName);

// A name as the user reads it, in lists and messages: fileNameToUtf8, control characters
// shown as '?'.
std::string displayName(std::string_view rawName);

// Decodes one well-formed UTF-8 sequence at pos into cp; returns its length, or 0 when malformed.
std::size_t decodeUtf8At(std::string_view s, std::size_t pos, char32_t& cp);

// Appends cp as UTF-8.
void appendUtf8(std::string& out, char32_t cp);

// The Windows-1251 byte of a code point, or none when Windows-1251 cannot hold it.
std::optional<unsigned char> toWindows1251(char32_t cp);

// Calls visit(code point, its bytes) for each character of UTF-8 text; a malformed byte is
// visited as U+FFFD.
template <typename Visit>
void forEachCodePoint(std::string_view utf8, Visit visit) {
  for (std::size_t pos = 0; pos < utf8.size();) {
    char32_t cp = 0;
    std::size_t len = decodeUtf8At(utf8, pos, cp);
    if (len == 0) {
      cp = kReplacementCharacter;
      len = 1;
    }
    visit(cp, utf8.substr(pos, len));
    pos += len;
  }
}

}  // namespace trevanto::base

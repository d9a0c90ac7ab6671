// SPDX-License-Identifier: MIT
// Declared charsets of exported files, turned into UTF-8 by the system's converter (base/code_pages.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trevanto::import {

// The bytes in the named charset as UTF-8, a byte that is not of that charset becoming U+FFFD.
// nullopt when iconv knows no such charset. Names are as iconv knows them, plus the old Mac
// aliases ("x-mac-roman", "x-mac-cyrillic", ...).
// Stops once the text passes maxBytes (what it returns is then longer than maxBytes).
std::optional<std::string> convertToUtf8(std::string_view bytes, std::string_view charset,
                                         std::size_t maxBytes = std::string::npos);

// UTF-8 with every malformed sequence replaced by U+FFFD.
std::string validUtf8(std::string_view bytes);

// The text of an HTML file as UTF-8: a byte-order mark decides, then the declared charset,
// else UTF-8; a charset that is unknown or not a charset at all reads as UTF-8 when the bytes
// are valid UTF-8, else as Windows-1252. A declared charset that does not read ASCII as ASCII
// (UTF-16, UTF-7, UCS-2, WCHAR_T, EBCDIC ...) cannot be the charset of a file whose
// declaration could be read, and is taken as UTF-8. declaredCharset is empty when none was
// declared. Stops once the text passes maxBytes, as convertToUtf8.
std::string htmlTextToUtf8(std::string bytes, std::string_view declaredCharset,
                           std::size_t maxBytes = std::string::npos);

// Whether iconv knows the charset and it reads every printable ASCII character, tab and line
// break as itself.
bool keepsAscii(std::string_view charset);

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
// Declared charsets of exported files, turned into UTF-8 with the system's iconv.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trevanto::import {

// The bytes in the named charset as UTF-8, a byte that is not of that charset becoming U+FFFD.
// nullopt when iconv knows no such charset. Names are as iconv knows them, plus the old Mac
// aliases ("x-mac-roman", "x-mac-cyrillic", ...).
std::optional<std::string> convertToUtf8(std::string_view bytes, std::string_view charset);

// UTF-8 with every malformed sequence replaced by U+FFFD.
std::string validUtf8(std::string_view bytes);

// The text of an HTML file as UTF-8: a byte-order mark decides, then the declared charset,
// else UTF-8; a charset that is unknown or not a charset at all reads as UTF-8 when the bytes
// are valid UTF-8, else as Windows-1252. declaredCharset is empty when none was declared.
std::string htmlTextToUtf8(std::string bytes, std::string_view declaredCharset);

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
// Text in a charset named as files declare it ("windows-1251", "KOI8-R", "Shift_JIS"), turned
// into UTF-8 by the system's own converter: iconv on POSIX systems, the code pages of
// MultiByteToWideChar on Windows.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace trevanto::base {

// The bytes in the named charset as UTF-8, each byte that is not of that charset (or a sequence
// cut off at the end) becoming U+FFFD. Nothing when the system knows no such charset. Names are
// taken as the system's converter spells them; on Windows, the names iconv knows for the code
// pages Windows has. Stops once the text passes maxBytes (what it returns is then longer than
// maxBytes).
std::optional<std::string> decodeCharset(std::string_view bytes, const std::string& charset,
                                         std::size_t maxBytes = std::string::npos);

}  // namespace trevanto::base

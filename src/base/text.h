// SPDX-License-Identifier: MIT
// Small text helpers shared by every part of the program: blanks, lines, percent-escapes,
// ASCII case and the way numbers are shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trevanto::base {

// The text without blanks and tabs at either end.
std::string_view trimBlanks(std::string_view text);

// The lines of a text; CR LF, a lone CR and a lone LF each end one. A last line without an end
// is a line; nothing after the last end is not.
std::vector<std::string_view> splitLines(std::string_view text);

// The hex digits as escapes write them.
inline constexpr std::string_view kUpperHexDigits = "0123456789ABCDEF";

// Appends "%XX", upper-case hex digits.
void appendPercentEncoded(std::string& out, unsigned char byte);

// The text with each "%XX" (two hexadecimal digits) turned into its byte; a '%' not followed by
// two hexadecimal digits stays as it is.
std::string percentDecoded(std::string_view text);

// A number as shown to the user: a blank in the sign position, then the digits, no grouping.
std::string countText(std::int64_t count);

// How many entries a report names before it only counts the rest.
inline constexpr std::size_t kMaxNamedInReport = 20;

// Appends the lines of the first kMaxNamedInReport of count entries, then "... и ещё N ." for
// the rest.
void appendNamedEntries(std::vector<std::string>& lines, std::size_t count,
                        const std::function<std::string(std::size_t)>& lineOf);

// Lower-cases ASCII letters only.
constexpr char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
std::string asciiLower(std::string_view text);
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace trevanto::base

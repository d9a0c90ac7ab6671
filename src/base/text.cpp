// SPDX-License-Identifier: MIT
#include "text.h"

#include <algorithm>

namespace trevanto::base {
namespace {

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlankOrTab(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlankOrTab(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

void appendPercentEncoded(std::string& out, unsigned char byte) {
  out.push_back('%');
  out.push_back(kUpperHexDigits[byte >> 4]);
  out.push_back(kUpperHexDigits[byte & 0x0F]);
}

std::string percentDecoded(std::string_view text) {
  const auto hexValue = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string countText(std::int64_t count) { return " " + std::to_string(count); }

void appendNamedEntries(std::vector<std::string>& lines, std::size_t count,
                        const std::function<std::string(std::size_t)>& lineOf) {
  for (std::size_t i = 0; i < count && i < kMaxNamedInReport; ++i) lines.push_back(lineOf(i));
  if (count > kMaxNamedInReport) {
    lines.push_back("... и ещё" + countText(static_cast<std::int64_t>(count - kMaxNamedInReport)) + " .");
  }
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiLower(c);
  return out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && asciiLower(a) == asciiLower(b);
}

}  // namespace trevanto::base

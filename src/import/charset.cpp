// SPDX-License-Identifier: MIT
#include "charset.h"

#include <algorithm>
#include <array>
#include <utility>

#include "base/charset.h"
#include "base/code_pages.h"
#include "base/text.h"
#include "site/text_encoding.h"

namespace trevanto::import {
namespace {

// Names browsers and old Mac exporters write that iconv spells otherwise.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kAliases = {{
    {"x-mac-roman", "MACINTOSH"},
    {"x-mac-cyrillic", "MAC-CYRILLIC"},
    {"x-mac-ukrainian", "MACUKRAINIAN"},
    {"x-mac-ce", "MAC-CENTRALEUROPE"},
    {"x-mac-centraleurroman", "MAC-CENTRALEUROPE"},
    {"x-mac-icelandic", "MAC-IS"},
    {"x-user-defined", ""},
    {"x-sjis", "SHIFT_JIS"},
    {"x-cp1251", "CP1251"},
}};

std::string trimmed(std::string_view name) { return std::string(base::trimBlanks(name)); }

}  // namespace

std::optional<std::string> convertToUtf8(std::string_view bytes, std::string_view charset, std::size_t maxBytes) {
  std::string name = trimmed(charset);
  // iconv reads "//" in a name as options, and an empty name as the locale's charset.
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  for (const auto& [alias, iconvName] : kAliases) {
    if (base::equalsIgnoringAsciiCase(name, alias)) name = iconvName;
  }
  if (name.empty()) return std::nullopt;
  return base::decodeCharset(bytes, name, maxBytes);
}

std::string validUtf8(std::string_view bytes) {
  if (base::isValidUtf8(bytes)) return std::string(bytes);
  return base::decodeCharset(bytes, "UTF-8").value_or(std::string());
}

bool keepsAscii(std::string_view charset) {
  static const std::string kProbe = [] {
    std::string probe = "\t\n\r";
    for (char c = ' '; c < 0x7F; ++c) probe.push_back(c);
    return probe;
  }();
  const std::optional<std::string> read = convertToUtf8(kProbe, charset);
  return read && *read == kProbe;
}

std::string htmlTextToUtf8(std::string bytes, std::string_view declaredCharset, std::size_t maxBytes) {
  const std::string_view view = bytes;
  if (view.starts_with("\xEF\xBB\xBF")) return validUtf8(view.substr(3));
  if (view.starts_with("\xFF\xFE")) return convertToUtf8(view.substr(2), "UTF-16LE", maxBytes).value_or(std::string());
  if (view.starts_with("\xFE\xFF")) return convertToUtf8(view.substr(2), "UTF-16BE", maxBytes).value_or(std::string());
  const std::string charset = base::asciiLower(trimmed(declaredCharset));
  // A file whose declaration could be read at all is not UTF-16 or UTF-32 (or any charset
  // that spells ASCII otherwise), whatever it says.
  const bool saysUtf8 = charset == "utf-8" || charset == "utf8" || charset.starts_with("utf-16") ||
                        charset.starts_with("utf-32") || charset.starts_with("ucs-") ||
                        (!charset.empty() && convertToUtf8("", charset) && !keepsAscii(charset));
  if (!charset.empty() && !saysUtf8) {
    if (auto converted = convertToUtf8(bytes, charset, maxBytes)) return std::move(*converted);
  }
  if (base::isValidUtf8(bytes)) return bytes;
  if (saysUtf8) return validUtf8(bytes);
  return convertToUtf8(bytes, "WINDOWS-1252", maxBytes).value_or(std::string());
}

}  // namespace trevanto::import

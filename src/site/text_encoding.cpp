// SPDX-License-Identifier: MIT
#include "text_encoding.h"

#include <algorithm>
#include <cstdint>

#include "base/charset.h"
#include "base/text.h"

namespace trevanto::site {
namespace {

using base::appendPercentEncoded;
using base::appendUtf8;
using base::forEachCodePoint;
using base::toWindows1251;

bool isControl(char32_t cp) { return cp < 0x20 || cp == 0x7F; }

}  // namespace

std::string decodeShortcutText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    std::string out;
    forEachCodePoint(bytes.substr(3), [&out](char32_t cp, std::string_view) { base::appendUtf8(out, cp); });
    return out;
  }
  if (bytes.starts_with("\xFF\xFE")) return base::utf16ToUtf8(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return base::utf16ToUtf8(bytes.substr(2), true);
  if (!base::hasNonAscii(bytes) || base::isValidUtf8(bytes))
    return std::string(bytes);  // ASCII reads the same either way
  return base::windows1251ToUtf8(bytes);
}

std::string htmlTextWindows1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  forEachCodePoint(utf8, [&out](char32_t cp, std::string_view) {
    switch (cp) {
      case '&':
        out += "&amp;";
        return;
      case '<':
        out += "&lt;";
        return;
      case '>':
        out += "&gt;";
        return;
      case '"':
        out += "&quot;";
        return;
      default:
        break;
    }
    const auto byte = isControl(cp) ? std::nullopt : toWindows1251(cp);
    if (byte) {
      out.push_back(static_cast<char>(*byte));
    } else {
      out += "&#" + std::to_string(static_cast<std::uint32_t>(cp)) + ";";
    }
  });
  return out;
}

std::string addressForPage(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  forEachCodePoint(utf8, [&out](char32_t cp, std::string_view encoded) {
    if (cp >= 0x80) {
      std::string valid;
      base::appendUtf8(valid, cp);
      for (char b : valid) appendPercentEncoded(out, static_cast<unsigned char>(b));
    } else if (isControl(cp) || cp == '"' || cp == '<' || cp == '>') {
      appendPercentEncoded(out, static_cast<unsigned char>(cp));
    } else {
      out += encoded;
    }
  });
  return out;
}

std::string fileReferenceForPage(std::string_view rawName) {
  std::string out;
  out.reserve(rawName.size());
  for (std::size_t i = 0; i < rawName.size(); ++i) {
    const char c = rawName[i];
    const auto b = static_cast<unsigned char>(c);
    // ':' would make the name before it a scheme ("javascript:x.html" runs code), '\\' reads
    // as '/', a blank at either end is dropped by browsers, and '&' before '#' or a letter or
    // digit could be read as a character reference.
    const char after = i + 1 < rawName.size() ? rawName[i + 1] : '\0';
    const bool startsReference = c == '&' && (after == '#' || (after >= '0' && after <= '9') ||
                                              (after >= 'a' && after <= 'z') || (after >= 'A' && after <= 'Z'));
    if (b < 0x20 || b >= 0x7F || c == '"' || c == '<' || c == '>' || c == '#' || c == '?' || c == '%' || c == ':' ||
        c == '\\' || startsReference || (c == ' ' && (i == 0 || i + 1 == rawName.size()))) {
      appendPercentEncoded(out, b);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string pageTextToUtf8(std::string_view windows1251) {
  static constexpr std::pair<std::string_view, char32_t> kNamed[] = {
      {"amp;", '&'},      {"lt;", '<'},       {"gt;", '>'},        {"quot;", '"'},      {"apos;", '\''},
      {"nbsp;", 0x00A0},  {"copy;", 0x00A9},  {"reg;", 0x00AE},    {"laquo;", 0x00AB},  {"raquo;", 0x00BB},
      {"ndash;", 0x2013}, {"mdash;", 0x2014}, {"hellip;", 0x2026}, {"euro;", 0x20AC},   {"trade;", 0x2122},
      {"deg;", 0x00B0},   {"sect;", 0x00A7},  {"bull;", 0x2022},   {"numero;", 0x2116},
  };
  const std::string text = base::windows1251ToUtf8(windows1251);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '&') {
      out.push_back(text[i++]);
      continue;
    }
    std::size_t next = i + 1;
    std::optional<char32_t> code;
    if (next < text.size() && text[next] == '#') {
      if (const auto reference = readNumericReference(text, next)) {
        const std::uint32_t value = reference->value;
        const bool none = value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF);
        code = none ? base::kReplacementCharacter : static_cast<char32_t>(value);
        next = reference->end;
      }
    } else {
      for (const auto& [name, character] : kNamed) {
        if (std::string_view(text).substr(next).starts_with(name)) {
          code = character;
          next += name.size();
          break;
        }
      }
    }
    if (code) {
      base::appendUtf8(out, *code);
      i = next;
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

std::optional<NumericReference> readNumericReference(std::string_view text, std::size_t hashPos) {
  std::size_t next = hashPos + 1;
  const bool hex = next < text.size() && (text[next] == 'x' || text[next] == 'X');
  if (hex) ++next;
  const std::size_t digits = next;
  std::uint32_t value = 0;
  for (; next < text.size(); ++next) {
    const char c = text[next];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) break;
    value = std::min<std::uint32_t>(value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit), 0x110000);
  }
  if (next == digits) return std::nullopt;
  if (next < text.size() && text[next] == ';') ++next;
  return NumericReference{value, next};
}

std::string javaScriptString(std::string_view utf8) {
  std::string out = "\"";
  out.reserve(utf8.size() + 2);
  const auto appendEscape = [&out](std::uint32_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(base::kUpperHexDigits[(unit >> shift) & 0x0F]);
  };
  forEachCodePoint(utf8, [&](char32_t cp, std::string_view) {
    const auto c = static_cast<std::uint32_t>(cp);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c >= 0x10000) {
      appendEscape(0xD800 + ((c - 0x10000) >> 10));
      appendEscape(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else if (c < 0x20 || c >= 0x7F || c == '<') {
      appendEscape(c);
    } else {
      out.push_back(static_cast<char>(c));
    }
  });
  out.push_back('"');
  return out;
}

std::string htmlTextUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace trevanto::site

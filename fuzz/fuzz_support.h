// SPDX-License-Identifier: MIT
// Shared by the fuzz targets: a reader over the fuzzer's bytes, a failure that names what
// went wrong, and a model of how a browser reads an attribute value that holds a link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace trevanto::fuzz {

// Reports a broken property with the values involved and aborts, so libFuzzer keeps the input.
[[noreturn]] inline void fail(std::string_view what, std::string_view detail = {}) {
  std::fprintf(stderr, "\nPROPERTY BROKEN: %.*s\n", static_cast<int>(what.size()), what.data());
  if (!detail.empty()) {
    std::fputs("  detail: ", stderr);
    for (char c : detail) {
      const auto b = static_cast<unsigned char>(c);
      if (b >= 0x20 && b < 0x7F && c != '\\') {
        std::fputc(c, stderr);
      } else {
        std::fprintf(stderr, "\\x%02X", b);
      }
    }
    std::fputc('\n', stderr);
  }
  std::abort();
}

inline void check(bool holds, std::string_view what, std::string_view detail = {}) {
  if (!holds) fail(what, detail);
}

// Takes the fuzzer's bytes apart: small numbers from the front, texts of a given length.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  // A number from 0 to max.
  std::size_t upTo(std::size_t max) {
    const std::size_t value = (static_cast<std::size_t>(byte()) << 8) | byte();
    return max == 0 ? 0 : value % (max + 1);
  }
  std::string_view text(std::size_t length) {
    const std::string_view taken = rest_.substr(0, length);
    rest_.remove_prefix(taken.size());
    return taken;
  }
  // A text that ends at the first byte equal to end (consumed) or at the end of the input.
  std::string_view textUntil(char end) {
    const std::size_t at = rest_.find(end);
    const std::string_view taken = rest_.substr(0, at);
    rest_.remove_prefix(at == std::string_view::npos ? rest_.size() : at + 1);
    return taken;
  }
  std::string_view rest() {
    const std::string_view taken = rest_;
    rest_ = {};
    return taken;
  }
  bool empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

inline int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Every well-formed %XX as its byte; anything else as it stands.
inline std::string percentDecode(std::string_view text) {
  std::string out;
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

inline void appendUtf8(std::string& out, char32_t cp) {
  const auto put = [&out](char32_t v) { out.push_back(static_cast<char>(v)); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

inline bool isAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The named character references that stand for ASCII characters. Only these can change
// what a link's scheme or path reads as.
struct NamedReference {
  std::string_view name;  // with its ';'
  char value;
};
inline constexpr NamedReference kAsciiReferences[] = {
    {"Tab;", '\t'},
    {"NewLine;", '\n'},
    {"excl;", '!'},
    {"quot;", '"'},
    {"QUOT;", '"'},
    {"num;", '#'},
    {"dollar;", '$'},
    {"percnt;", '%'},
    {"amp;", '&'},
    {"AMP;", '&'},
    {"apos;", '\''},
    {"lpar;", '('},
    {"rpar;", ')'},
    {"ast;", '*'},
    {"midast;", '*'},
    {"plus;", '+'},
    {"comma;", ','},
    {"period;", '.'},
    {"sol;", '/'},
    {"colon;", ':'},
    {"semi;", ';'},
    {"lt;", '<'},
    {"LT;", '<'},
    {"equals;", '='},
    {"gt;", '>'},
    {"GT;", '>'},
    {"quest;", '?'},
    {"commat;", '@'},
    {"lsqb;", '['},
    {"lbrack;", '['},
    {"bsol;", '\\'},
    {"rsqb;", ']'},
    {"rbrack;", ']'},
    {"Hat;", '^'},
    {"lowbar;", '_'},
    {"UnderBar;", '_'},
    {"grave;", '`'},
    {"DiacriticalGrave;", '`'},
    {"lcub;", '{'},
    {"lbrace;", '{'},
    {"verbar;", '|'},
    {"vert;", '|'},
    {"VerticalLine;", '|'},
    {"rcub;", '}'},
    {"rbrace;", '}'},
    // Legacy names a browser also takes without the ';' (not before '=' or a letter or digit).
    {"amp", '&'},
    {"AMP", '&'},
    {"lt", '<'},
    {"LT", '<'},
    {"gt", '>'},
    {"GT", '>'},
    {"quot", '"'},
    {"QUOT", '"'},
};

// An attribute value as a browser hands it to the URL parser: numeric character references
// (with or without ';') and the named ones above decoded. Characters outside ASCII that a
// reference yields become '?', which is all the checks need to know of them.
inline std::string attributeValueAsRead(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size();) {
    if (value[i] != '&') {
      out.push_back(value[i++]);
      continue;
    }
    std::size_t j = i + 1;
    if (j < value.size() && value[j] == '#') {
      ++j;
      const bool hex = j < value.size() && (value[j] == 'x' || value[j] == 'X');
      if (hex) ++j;
      const std::size_t digitsFrom = j;
      std::uint32_t code = 0;
      while (j < value.size() && (hex ? hexValue(value[j]) >= 0 : (value[j] >= '0' && value[j] <= '9'))) {
        code = code > 0x10FFFF ? code : code * (hex ? 16 : 10) + static_cast<std::uint32_t>(hexValue(value[j]));
        ++j;
      }
      if (j == digitsFrom) {
        out.push_back(value[i++]);
        continue;
      }
      if (j < value.size() && value[j] == ';') ++j;
      out.push_back(code > 0 && code < 0x80 ? static_cast<char>(code) : '?');
      i = j;
      continue;
    }
    bool decoded = false;
    for (const NamedReference& reference : kAsciiReferences) {
      if (value.substr(j).starts_with(reference.name)) {
        const std::size_t after = j + reference.name.size();
        const bool legacy = !reference.name.ends_with(';');
        if (legacy && after < value.size() && (isAsciiAlnum(value[after]) || value[after] == '=')) continue;
        out.push_back(reference.value);
        i = after;
        decoded = true;
        break;
      }
    }
    if (!decoded) out.push_back(value[i++]);
  }
  return out;
}

// The scheme a browser finds in an href value (lower case, without ':'), or empty when the
// value is a relative reference.
inline std::string schemeAsRead(std::string_view hrefValue) {
  std::string url = attributeValueAsRead(hrefValue);
  // Leading and trailing C0 controls and blanks go; tabs and line ends go from anywhere.
  std::size_t begin = 0;
  while (begin < url.size() && static_cast<unsigned char>(url[begin]) <= 0x20) ++begin;
  std::size_t end = url.size();
  while (end > begin && static_cast<unsigned char>(url[end - 1]) <= 0x20) --end;
  std::string scheme;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = url[i];
    if (c == '\t' || c == '\r' || c == '\n') continue;
    if (c == ':') return scheme;
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (scheme.empty() || !(isAsciiAlnum(c) || c == '+' || c == '-' || c == '.'))) return {};
    scheme.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
  }
  return {};
}

inline bool schemeRunsCode(std::string_view scheme) {
  return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

}  // namespace trevanto::fuzz

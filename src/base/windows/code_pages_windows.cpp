// SPDX-License-Identifier: MIT
// Charsets through the system's code pages (MultiByteToWideChar). Files name their charset as
// iconv and the web spell it; Windows numbers its code pages: the table below gives the number
// for each name, and "cp866", "windows-1251", "ibm437" or a bare number name one directly.
#include <windows.h>

#include <array>
#include <climits>
#include <utility>

#include "base/charset.h"
#include "base/code_pages.h"
#include "windows_text.h"

namespace trevanto::base {
namespace {

// UTF-8 and UTF-16 are read by the floor's own decoders, byte for byte as iconv reads them.
constexpr UINT kUtf8 = CP_UTF8;
constexpr UINT kUtf16Le = 1200;
constexpr UINT kUtf16Be = 1201;

// Names as compared: lower case, without '-', '_', '.', ':' and blanks ("ISO_8859-5" is
// "iso88595").
constexpr std::array<std::pair<std::string_view, UINT>, 77> kNames = {{
    {"utf8", kUtf8},
    {"utf16le", kUtf16Le},
    {"utf16be", kUtf16Be},
    {"utf7", 65000},
    {"usascii", 20127},
    {"ascii", 20127},
    {"ansix341968", 20127},
    {"us", 20127},
    {"iso88591", 28591},
    {"latin1", 28591},
    {"l1", 28591},
    {"iso88592", 28592},
    {"latin2", 28592},
    {"l2", 28592},
    {"iso88593", 28593},
    {"latin3", 28593},
    {"iso88594", 28594},
    {"latin4", 28594},
    {"iso88595", 28595},
    {"cyrillic", 28595},
    {"iso88596", 28596},
    {"arabic", 28596},
    {"iso88597", 28597},
    {"greek", 28597},
    {"iso88598", 28598},
    {"hebrew", 28598},
    {"iso88598i", 38598},
    {"iso88599", 28599},
    {"latin5", 28599},
    {"iso885913", 28603},
    {"latin7", 28603},
    {"iso885915", 28605},
    {"latin9", 28605},
    {"koi8r", 20866},
    {"koi8u", 21866},
    {"koi8ru", 21866},
    {"shiftjis", 932},
    {"sjis", 932},
    {"mskanji", 932},
    {"windows31j", 932},
    {"eucjp", 20932},
    {"iso2022jp", 50220},
    {"iso2022kr", 50225},
    {"gb2312", 936},
    {"gbk", 936},
    {"euccn", 936},
    {"xgbk", 936},
    {"gb18030", 54936},
    {"hzgb2312", 52936},
    {"big5", 950},
    {"euckr", 949},
    {"ksc56011987", 949},
    {"uhc", 949},
    {"tis620", 874},
    {"msansi", 1252},
    {"msee", 1250},
    {"mscyrl", 1251},
    {"msgreek", 1253},
    {"msturk", 1254},
    {"mshebr", 1255},
    {"msarab", 1256},
    {"winbaltrim", 1257},
    {"macintosh", 10000},
    {"mac", 10000},
    {"macroman", 10000},
    {"macjapanese", 10001},
    {"macarabic", 10004},
    {"machebrew", 10005},
    {"macgreek", 10006},
    {"maccyrillic", 10007},
    {"macromania", 10010},
    {"macukrainian", 10017},
    {"macthai", 10021},
    {"maccentraleurope", 10029},
    {"macis", 10079},
    {"macturkish", 10081},
    {"maccroatian", 10082},
}};

std::string comparedName(std::string_view name) {
  std::string compared;
  for (const char c : name) {
    if (c == '-' || c == '_' || c == '.' || c == ':' || c == ' ') continue;
    compared.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return compared;
}

// The code page a name gives, or 0.
UINT codePageOf(const std::string& charset) {
  const std::string name = comparedName(charset);
  for (const auto& [known, codePage] : kNames) {
    if (name == known) return codePage;
  }
  // "cp1251", "windows-1251", "x-cp1251", "ibm866", "866": the number itself.
  std::string_view digits = name;
  for (const std::string_view prefix : {"xcp", "cp", "windows", "ibm", "ms"}) {
    if (digits.starts_with(prefix)) {
      digits.remove_prefix(prefix.size());
      break;
    }
  }
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos) return 0;
  UINT number = 0;
  for (const char c : digits) number = number * 10 + static_cast<UINT>(c - '0');
  if (number == kUtf8 || number == kUtf16Le || number == kUtf16Be) return number;
  return number != 0 && ::IsValidCodePage(number) ? number : 0;
}

// Code pages the system converts only without MB_ERR_INVALID_CHARS: the stateful ones (UTF-7,
// ISO-2022, HZ), the symbol page and the ISCII pages. The system puts its own substitute for
// what they cannot read.
bool takesNoErrorFlag(UINT codePage) {
  return codePage == 42 || codePage == 65000 || (codePage >= 50220 && codePage <= 50229) || codePage == 52936 ||
         (codePage >= 57002 && codePage <= 57011);
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The wide characters of bytes, or nothing when a byte is not of the code page.
bool wideOfBytes(UINT codePage, DWORD flags, std::string_view bytes, std::wstring& wide) {
  wide.clear();
  if (bytes.empty()) return true;
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
  if (length <= 0) return false;
  wide.resize(static_cast<std::size_t>(length));
  return ::MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), length) == length;
}

// One piece of text that ends on a character's end.
void appendPiece(UINT codePage, unsigned maxCharSize, std::string_view bytes, std::string& out) {
  std::wstring wide;
  if (takesNoErrorFlag(codePage)) {
    if (wideOfBytes(codePage, 0, bytes, wide)) out += windows::utf8Of(wide);
    return;
  }
  if (wideOfBytes(codePage, MB_ERR_INVALID_CHARS, bytes, wide)) {
    out += windows::utf8Of(wide);
    return;
  }
  // Some byte is not of the code page: character by character, the shortest sequence that
  // reads as one, a byte that begins none becoming U+FFFD.
  for (std::size_t pos = 0; pos < bytes.size();) {
    std::size_t length = 1;
    for (; length <= maxCharSize && pos + length <= bytes.size(); ++length) {
      if (wideOfBytes(codePage, MB_ERR_INVALID_CHARS, bytes.substr(pos, length), wide)) break;
    }
    if (length > maxCharSize || pos + length > bytes.size()) {
      out += kReplacement;
      ++pos;
      continue;
    }
    out += windows::utf8Of(wide);
    pos += length;
  }
}

std::string decodeCodePage(UINT codePage, std::string_view bytes, std::size_t maxBytes) {
  CPINFO info{};
  const unsigned maxCharSize = ::GetCPInfo(codePage, &info) ? info.MaxCharSize : 4;
  std::string out;
  // The stateful pages and GB18030 (four-byte sequences) are read whole; the others a piece at
  // a time, each piece ending where a character ends, until the text passes maxBytes.
  if (takesNoErrorFlag(codePage) || maxCharSize > 2 || bytes.size() <= (std::size_t{1} << 20)) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long");
    appendPiece(codePage, maxCharSize, bytes, out);
    return out;
  }
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  std::size_t pos = 0;
  while (pos < bytes.size() && out.size() <= maxBytes) {
    std::size_t end = std::min(bytes.size(), pos + kPiece);
    if (maxCharSize == 2 && end < bytes.size()) {
      std::size_t walk = pos;
      while (walk < end) walk += ::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[walk])) ? std::size_t{2} : std::size_t{1};
      end = std::min(walk, bytes.size());
    }
    appendPiece(codePage, maxCharSize, bytes.substr(pos, end - pos), out);
    pos = end;
  }
  return out;
}

std::string decodeUtf8(std::string_view bytes, std::size_t maxBytes) {
  std::string out;
  out.reserve(std::min(bytes.size(), maxBytes));
  for (std::size_t pos = 0; pos < bytes.size() && out.size() <= maxBytes;) {
    char32_t cp = 0;
    const std::size_t length = decodeUtf8At(bytes, pos, cp);
    if (length == 0) {
      out += kReplacement;
      ++pos;
    } else {
      out.append(bytes.substr(pos, length));
      pos += length;
    }
  }
  return out;
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::string out = utf16ToUtf8(bytes.substr(0, bytes.size() & ~std::size_t{1}), bigEndian);
  if (bytes.size() % 2 != 0) out += kReplacement;  // a code unit cut off at the end
  return out;
}

}  // namespace

std::optional<std::string> decodeCharset(std::string_view bytes, const std::string& charset, std::size_t maxBytes) {
  const UINT codePage = codePageOf(charset);
  if (codePage == 0) return std::nullopt;
  if (codePage == kUtf8) return decodeUtf8(bytes, maxBytes);
  if (codePage == kUtf16Le || codePage == kUtf16Be) return decodeUtf16(bytes, codePage == kUtf16Be);
  return decodeCodePage(codePage, bytes, maxBytes);
}

}  // namespace trevanto::base

// SPDX-License-Identifier: MIT
// Fuzzes the shortcut reader with whole shortcut files: the address, the old link text, the
// decoding of the text and the check for addresses that run code.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/charset.h"
#include "base/text.h"
#include "fuzz_support.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"

namespace {

using namespace trevanto::base;
using namespace trevanto::site;
using trevanto::fuzz::check;

// The old cut, step by step with the 1-based counts its authors used: InStr, Right, Left.
std::optional<std::string> oldCutByTheSteps(const std::string& LinkText) {
  const auto p = static_cast<long long>(LinkText.find("URL") + 1);  // 0 when absent
  if (p == 0) return std::string();
  const long long right = static_cast<long long>(LinkText.size()) - p - 3;
  if (right < 0) return std::nullopt;
  const std::string remainder = LinkText.substr(LinkText.size() - static_cast<std::size_t>(right));
  const long long left = static_cast<long long>(remainder.size()) - 3;
  if (left < 0) return std::nullopt;
  return remainder.substr(0, static_cast<std::size_t>(left));
}

// For a text without double quotes the field read is a plain split at commas and line ends,
// blanks dropped from the front of each field; a final separator adds no field.
std::string fieldsBySplitting(std::string_view bytes) {
  std::string out;
  std::string field;
  bool open = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == ',' || c == '\r' || c == '\n') {
      out += field + "\r\n";
      field.clear();
      open = false;
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else if (c != ' ' || !field.empty()) {
      field.push_back(c);
      open = true;
    } else {
      open = true;
    }
  }
  if (open) out += field + "\r\n";
  return out;
}

// CR LF line ends turned into LF.
std::string withLfLineEnds(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out.push_back(text[i]);
  }
  return out;
}

void checkOldLinkText(std::string_view bytes) {
  const std::string fields = OUT_Path(bytes);
  check(fields.empty() || fields.ends_with("\r\n"), "every field read ends in CR LF", fields);
  if (bytes.find('"') == std::string_view::npos) {
    check(fields == fieldsBySplitting(bytes), "the field read of a text without quotes is a split", bytes);
  }
  const std::optional<std::string> cut = Poisk(fields);
  check(cut == oldCutByTheSteps(fields), "Poisk follows InStr, Right and Left", fields);
  check(oldLinkText(bytes) == cut, "oldLinkText is Poisk after OUT_Path", bytes);
}

void checkAddress(std::string_view bytes) {
  const std::string address = readShortcutAddress(bytes);
  check(isValidUtf8(address), "the address is UTF-8", address);

  const bool hasBom =
      bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
  if (!hasBom) {
    check(readShortcutAddress(withLfLineEnds(bytes)) == address, "line ends do not change the address", bytes);
    if (isValidUtf8(bytes)) {
      std::string marked = "\xEF\xBB\xBF";
      marked += bytes;
      check(readShortcutAddress(marked) == address, "a UTF-8 byte-order mark does not change the address of UTF-8 text",
            bytes);
    }
  }

  // The address survives being written into a fresh shortcut and read back.
  const bool quotedBothEnds = address.size() >= 2 && address.front() == '"' && address.back() == '"';
  const bool blankAtEnds = !address.empty() && (address.front() == ' ' || address.front() == '\t' ||
                                                address.back() == ' ' || address.back() == '\t');
  if (!address.empty() && !quotedBothEnds && !blankAtEnds && address.find_first_of("\r\n") == std::string::npos) {
    const std::string fresh = "\xEF\xBB\xBF[InternetShortcut]\r\nURL=" + address + "\r\n";
    check(readShortcutAddress(fresh) == address, "the address reads back from a fresh shortcut", address);
  }

  // What the page's reader makes of the written address must never run code unless the
  // address was refused.
  const std::string written = addressForPage(address);
  if (!isUnsafeAddress(address)) {
    check(!trevanto::fuzz::schemeRunsCode(trevanto::fuzz::schemeAsRead(written)),
          "an address that runs code in the page is refused", written);
  }
}

void checkDecoding(std::string_view bytes) {
  const std::string text = decodeShortcutText(bytes);
  check(isValidUtf8(text), "decoded shortcut text is UTF-8", bytes);
  if (!hasNonAscii(bytes)) check(text == bytes, "ASCII text decodes to itself", bytes);
  if (const std::optional<std::string> utf7 = utf7ToUtf8(bytes)) {
    check(isValidUtf8(*utf7), "decoded UTF-7 is UTF-8", bytes);
  }
  check(fileNameToUtf8(bytes) == (isValidUtf8(bytes) ? std::string(bytes) : windows1251ToUtf8(bytes)),
        "a name is UTF-8 or Windows-1251", bytes);
}

// The letters of the scheme as written lower-cased, and nothing after it: character references
// are case-sensitive ("&colon;" is ':', "&coLon;" is text), so folding them would change what
// the address says.
std::string withSchemeLettersLowered(std::string_view bytes) {
  std::string out(bytes);
  std::size_t i = 0;
  while (i < out.size() && static_cast<unsigned char>(out[i]) <= 0x20) ++i;
  for (; i < out.size(); ++i) {
    const char c = out[i];
    if (!trevanto::fuzz::isAsciiAlnum(c) && c != '+' && c != '-' && c != '.' && c != '\t' && c != '\r' && c != '\n')
      break;
    out[i] = asciiLower(c);
  }
  return out;
}

void checkUnsafe(std::string_view bytes) {
  const bool unsafe = isUnsafeAddress(bytes);
  std::string indented = " \t";
  indented += bytes;
  check(isUnsafeAddress(indented) == unsafe, "leading blanks do not hide a scheme", bytes);
  check(isUnsafeAddress(withSchemeLettersLowered(bytes)) == unsafe, "the scheme is read without regard to case", bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkOldLinkText(bytes);
  checkAddress(bytes);
  checkDecoding(bytes);
  checkUnsafe(bytes);
  return 0;
}

// SPDX-License-Identifier: MIT
// IDNA through the system (IdnToAscii, IdnToUnicode): the names come and go in UTF-16.
#include <windows.h>

#include "base/charset.h"
#include "base/idna.h"
#include "windows_text.h"

namespace trevanto::base {
namespace {

using IdnConversion = int(WINAPI*)(DWORD, LPCWSTR, int, LPWSTR, int);

std::optional<std::string> converted(IdnConversion convert, const std::string& host) {
  if (!isValidUtf8(host)) return std::nullopt;
  const std::wstring wide = windows::wideOf(host);
  if (wide.empty()) return std::nullopt;
  const int size = static_cast<int>(wide.size());
  const int length = convert(0, wide.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring made(static_cast<std::size_t>(length), L'\0');
  if (convert(0, wide.data(), size, made.data(), length) != length) return std::nullopt;
  return windows::utf8Of(made);
}

}  // namespace

std::optional<std::string> systemIdnaAscii(const std::string& host) { return converted(::IdnToAscii, host); }

std::optional<std::string> systemIdnaUnicode(const std::string& host) {
  return converted(::IdnToUnicode, host);
}

}  // namespace trevanto::base

// SPDX-License-Identifier: MIT
// IDNA through the system (IdnToAscii, IdnToUnicode): the names come and go in UTF-16.
#include <windows.h>

#include <climits>

#include "host_names.h"

namespace trevanto::address {
namespace {

std::wstring wideOf(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (length > 0) ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string utf8Of(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

using IdnConversion = int(WINAPI*)(DWORD, LPCWSTR, int, LPWSTR, int);

std::optional<std::string> converted(IdnConversion convert, const std::string& host) {
  const std::wstring wide = wideOf(host);
  if (wide.empty()) return std::nullopt;
  const int size = static_cast<int>(wide.size());
  const int length = convert(0, wide.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring made(static_cast<std::size_t>(length), L'\0');
  if (convert(0, wide.data(), size, made.data(), length) != length) return std::nullopt;
  return utf8Of(made);
}

}  // namespace

std::optional<std::string> idnaAscii(const std::string& host) { return converted(::IdnToAscii, host); }

std::optional<std::string> idnaUnicode(const std::string& host) { return converted(::IdnToUnicode, host); }

}  // namespace trevanto::address

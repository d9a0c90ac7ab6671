// SPDX-License-Identifier: MIT
// Ini text read by the system's profile functions. They read a file by name and take a file
// without a byte-order mark in the narrow code page of the system: the text goes to them as
// UTF-16 with its mark, in a private folder of the program's own.
#include <windows.h>

#include "base/file_error.h"
#include "base/files.h"
#include "base/whole_files.h"
#include "base/ini_file.h"
#include "base/private_folder.h"
#include "windows_text.h"

namespace trevanto::base {
namespace {

constexpr const char* kFileName = "read.ini";

// A list of names each ended by a NUL, the list by a second one, as the profile functions give
// it: fill(buffer, size) returns what it wrote, size - 2 when the buffer was too small.
template <typename Fill>
std::vector<std::wstring> nameList(Fill fill) {
  std::wstring buffer(4096, L'\0');
  DWORD written = 0;
  while (true) {
    written = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (written + 2 < buffer.size() || buffer.size() >= (std::size_t{1} << 26)) break;
    buffer.resize(buffer.size() * 4);
  }
  std::vector<std::wstring> names;
  for (std::size_t pos = 0; pos < written;) {
    const std::size_t end = buffer.find(L'\0', pos);
    if (end == std::wstring::npos || end == pos) break;
    names.emplace_back(buffer, pos, end - pos);
    pos = end + 1;
  }
  return names;
}

std::wstring valueOf(const std::wstring& file, const std::wstring& group, const std::wstring& key) {
  std::wstring buffer(1024, L'\0');
  while (true) {
    const DWORD written = ::GetPrivateProfileStringW(group.c_str(), key.c_str(), L"", buffer.data(),
                                                     static_cast<DWORD>(buffer.size()), file.c_str());
    if (written + 1 < buffer.size() || buffer.size() >= (std::size_t{1} << 26)) {
      buffer.resize(written);
      return buffer;
    }
    buffer.resize(buffer.size() * 4);
  }
}

}  // namespace

std::vector<IniGroup> systemReadIni(std::string_view utf8Text) {
  PrivateFolder folder("trevanto-ini-", {kFileName});
  const std::filesystem::path path = folder.path() / kFileName;
  // Bytes that are no UTF-8 become U+FFFD.
  const std::wstring wide = L"\xFEFF" + windows::wideOf(utf8Text);
  createFileWithoutReplacing(path, kFileName,
                             std::string_view(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t)),
                             Sync::No, "Не удалось записать временный файл");
  const std::wstring file = windows::systemPath(path);
  std::vector<IniGroup> groups;
  for (const std::wstring& group : nameList([&](wchar_t* buffer, DWORD size) {
         return ::GetPrivateProfileSectionNamesW(buffer, size, file.c_str());
       })) {
    IniGroup read{windows::utf8Of(group), {}};
    for (const std::wstring& key : nameList([&](wchar_t* buffer, DWORD size) {
           return ::GetPrivateProfileStringW(group.c_str(), nullptr, L"", buffer, size, file.c_str());
         })) {
      read.entries.emplace_back(windows::utf8Of(key), windows::utf8Of(valueOf(file, group, key)));
    }
    groups.push_back(std::move(read));
  }
  return groups;  // the private folder goes with its file
}

}  // namespace trevanto::base

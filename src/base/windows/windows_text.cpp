// SPDX-License-Identifier: MIT
#include "windows_text.h"

#include <winternl.h>

#include <climits>
#include <cwchar>
#include <stdexcept>

namespace trevanto::base::windows {

std::wstring wideOf(std::string_view utf8) {
  if (utf8.empty()) return {};
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long");
  const int size = static_cast<int>(utf8.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string utf8Of(std::wstring_view wide) {
  if (wide.empty()) return {};
  if (wide.size() > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long");
  const int size = static_cast<int>(wide.size());
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::wstring systemPath(const std::filesystem::path& path) {
  const std::wstring& given = path.native();
  if (given.empty()) return given;
  // Already whole, or a device ("\\.\pipe\name"): as it is.
  if (given.starts_with(L"\\\\?\\") || given.starts_with(L"\\\\.\\")) return given;
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return given;  // the system names the problem when the path is used
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);
  }
  // A reserved device name ("NUL", "C:\x\con") comes back as a device: it stays one.
  if (full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

namespace {

std::errc conditionOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
      return std::errc::no_such_file_or_directory;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::errc::file_exists;
    case ERROR_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
      return std::errc::permission_denied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
      return std::errc::device_or_resource_busy;
    case ERROR_DIRECTORY:
      return std::errc::not_a_directory;
    case ERROR_DIR_NOT_EMPTY:
      return std::errc::directory_not_empty;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::errc::no_space_on_device;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return std::errc::not_enough_memory;
    case ERROR_NOT_SAME_DEVICE:
      return std::errc::cross_device_link;
    case ERROR_WRITE_PROTECT:
      return std::errc::read_only_file_system;
    case ERROR_INVALID_HANDLE:
      return std::errc::bad_file_descriptor;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return std::errc::filename_too_long;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return std::errc::not_supported;
    case ERROR_INVALID_PARAMETER:
      return std::errc::invalid_argument;
    case ERROR_TOO_MANY_OPEN_FILES:
      return std::errc::too_many_files_open;
    case ERROR_CANT_RESOLVE_FILENAME:
      return std::errc::too_many_symbolic_link_levels;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK:
      return std::errc::invalid_seek;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return std::errc::broken_pipe;
    case ERROR_OPERATION_ABORTED:
      return std::errc::operation_canceled;
    case ERROR_TIMEOUT:
    case WAIT_TIMEOUT:
      return std::errc::timed_out;
    default:
      return std::errc::io_error;
  }
}

class SystemErrors final : public std::error_category {
 public:
  const char* name() const noexcept override { return "windows"; }

  // The system's own words in the user's language, without the closing full stop and line end.
  std::string message(int code) const override {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words = length != 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
    if (text != nullptr) ::LocalFree(text);
    while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' ' ||
                              words.back() == L'.')) {
      words.pop_back();
    }
    if (words.empty()) return "error " + std::to_string(static_cast<unsigned long>(code));
    return utf8Of(words);
  }

  std::error_condition default_error_condition(int code) const noexcept override {
    if (code == 0) return {};
    return std::make_error_condition(conditionOf(static_cast<DWORD>(code)));
  }
};

}  // namespace

const std::error_category& systemErrors() {
  static const SystemErrors category;
  return category;
}

std::error_code systemError(DWORD code) { return {static_cast<int>(code), systemErrors()}; }

std::error_code lastError() { return systemError(::GetLastError()); }

std::error_code statusError(long status) { return systemError(::RtlNtStatusToDosError(status)); }

}  // namespace trevanto::base::windows

// SPDX-License-Identifier: MIT
// What the floor's Windows implementation shares: UTF-8 inside, UTF-16 at the system; names
// the system takes at any length; the system's problems as std::error_code values that compare
// with std::errc and read in the user's language.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace trevanto::base::windows {

std::wstring wideOf(std::string_view utf8);
std::string utf8Of(std::wstring_view wide);

// A path as the file functions take it: whole ("\\?\C:\..." or "\\?\UNC\server\share\..."),
// so that no length limit of 260 characters applies, with "." and ".." resolved and "/" turned
// into "\". A name of a device (NUL, \\.\pipe\...) stays as it is.
std::wstring systemPath(const std::filesystem::path& path);

// The category of the system's error numbers (GetLastError): reads them in the user's language
// and tells which std::errc condition each is.
const std::error_category& systemErrors();
std::error_code systemError(DWORD code);
std::error_code lastError();
// An NTSTATUS of the native calls, as the error number the Win32 functions give for it.
std::error_code statusError(long status);

}  // namespace trevanto::base::windows

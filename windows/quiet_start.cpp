// SPDX-License-Identifier: MIT
// trevanto-quiet: runs one program of Trevanto without a console window, for the tasks of the
// Task Scheduler, which would otherwise open one on the user's screen at every run. What the
// program writes is appended to a log file (the previous one kept as FILE.old once it passes a
// megabyte), and its exit code is the task's result.
//   trevanto-quiet.exe --log FILE PROGRAM [ARGUMENT...]
// FILE may hold environment variables (%LOCALAPPDATA%); its folder is made when missing.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <string_view>

namespace {

constexpr int kWrongUsage = 2;
constexpr int kFailed = 1;
constexpr LONGLONG kLogLimit = 1 << 20;

std::string utf8Of(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

// One argument as the program's start-up code splits its command line back into arguments.
std::wstring quoted(std::wstring_view argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) return std::wstring(argument);
  std::wstring result = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped; elsewhere they stand as they are.
    result.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    result.push_back(c);
  }
  result.append(backslashes * 2, L'\\');
  result.push_back(L'"');
  return result;
}

std::wstring expanded(const wchar_t* text) {
  const DWORD size = ExpandEnvironmentStringsW(text, nullptr, 0);
  if (size == 0) return text;
  std::wstring result(size, L'\0');
  ExpandEnvironmentStringsW(text, result.data(), size);
  result.resize(size - 1);
  return result;
}

std::wstring systemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message = length > 0 ? std::wstring(buffer, length) : L"error " + std::to_wstring(code);
  LocalFree(buffer);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) message.pop_back();
  return message;
}

void write(HANDLE file, std::wstring_view text) {
  const std::string bytes = utf8Of(text);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring now() {
  SYSTEMTIME time;
  GetLocalTime(&time);
  wchar_t text[32];
  wsprintfW(text, L"%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
            time.wSecond);
  return text;
}

// The log, opened for appending and handed down to the program; a long one moved aside first.
HANDLE openLog(const std::wstring& path) {
  const std::wstring::size_type slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0) SHCreateDirectoryExW(nullptr, path.substr(0, slash).c_str(), nullptr);
  WIN32_FILE_ATTRIBUTE_DATA status;
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &status) &&
      ((LONGLONG{status.nFileSizeHigh} << 32) | status.nFileSizeLow) > kLogLimit) {
    MoveFileExW(path.c_str(), (path + L".old").c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count < 4 || std::wstring_view(arguments[1]) != L"--log") return kWrongUsage;
  const HANDLE log = openLog(expanded(arguments[2]));
  if (log == INVALID_HANDLE_VALUE) return kFailed;

  std::wstring commandLine = quoted(arguments[3]);
  for (int i = 4; i < count; ++i) commandLine += L" " + quoted(arguments[i]);
  write(log, L"--- " + now() + L" " + commandLine + L"\r\n");

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = log;
  startup.hStdError = log;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(arguments[3], commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process)) {
    write(log, L"--- cannot start " + std::wstring(arguments[3]) + L": " + systemMessage(GetLastError()) + L"\r\n");
    CloseHandle(log);
    return kFailed;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = kFailed;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  write(log, L"--- " + now() + L" exit code " + std::to_wstring(exitCode) + L"\r\n");
  CloseHandle(log);
  return static_cast<int>(exitCode);
}

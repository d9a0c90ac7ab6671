// SPDX-License-Identifier: MIT
// The running program on Windows: its arguments and console in UTF-8, Ctrl+C and the closing
// of its console as requests to stop, other processes by their ids, and the read-ahead's sign
// that a read waited.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <optional>
#include <utility>

#include "base/process.h"
#include "base/system.h"
#include "windows_text.h"

namespace trevanto::base {
namespace {

std::atomic<bool> gStopRequested = false;

BOOL WINAPI onConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      gStopRequested = true;
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // The system ends the process once this returns: the run gets the few seconds the system
      // grants to stop at its next point and end itself, which ends this wait with it.
      gStopRequested = true;
      ::Sleep(4500);
      return TRUE;
    default:
      return FALSE;
  }
}

std::uint64_t ticksOf(FILETIME time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

long currentProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

std::optional<std::string> environmentVariable(const char* name) {
  const std::wstring wideName = windows::wideOf(name);
  std::wstring value(256, L'\0');
  while (true) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) {
      value.resize(length);
      return windows::utf8Of(value);
    }
    value.resize(length);  // the size it needs, its NUL included
  }
}

bool processRuns(long processId) {
  if (processId <= 0) return false;
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;  // another user's still runs
  DWORD code = 0;
  const bool runs = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  ::CloseHandle(process);
  return runs;
}

bool standardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::optional<std::tm> localTimeParts(std::time_t time) {
  std::tm parts{};
  if (::localtime_s(&parts, &time) != 0) return std::nullopt;
  return parts;
}

std::optional<std::tm> utcTimeParts(std::time_t time) {
  std::tm parts{};
  if (::gmtime_s(&parts, &time) != 0) return std::nullopt;
  return parts;
}

std::time_t utcTimeOf(std::tm parts) { return ::_mkgmtime(&parts); }

// The C library's local time follows TZ when it is set ("MSK-3", "EST5EDT": the names are its
// letters); else the system's zone, whose names the system gives in UTF-16 (the C library's copy
// of them is in the ANSI code page, and its strftime has no numeric offset).
std::string localZoneName(const std::tm& localParts) {
  const bool daylight = localParts.tm_isdst > 0;
  if (const std::optional<std::string> rule = environmentVariable("TZ"); rule && !rule->empty()) {
    const auto letters = [&](std::size_t from) {
      std::size_t end = from;
      while (end < rule->size() && std::isalpha(static_cast<unsigned char>((*rule)[end])) != 0) ++end;
      return std::pair(from, end);
    };
    const auto [standardFrom, standardEnd] = letters(0);
    if (!daylight) return rule->substr(standardFrom, standardEnd - standardFrom);
    std::size_t offsetEnd = standardEnd;
    while (offsetEnd < rule->size() && std::isalpha(static_cast<unsigned char>((*rule)[offsetEnd])) == 0) ++offsetEnd;
    const auto [daylightFrom, daylightEnd] = letters(offsetEnd);
    return rule->substr(daylightFrom, daylightEnd - daylightFrom);
  }
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  if (::GetDynamicTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return {};
  return windows::utf8Of(daylight ? zone.DaylightName : zone.StandardName);
}

void catchStopRequests() { ::SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

bool stopRequested() { return gStopRequested.load(); }

void prepareProgramStart() {
  // Text goes out as the UTF-8 bytes the program holds, to a console as to a file or a pipe:
  // no "\n" turned into "\r\n", no code page of the console in between.
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
}

std::vector<std::string> programArguments(int argc, const char* const* argv) {
  // argv comes in the ANSI code page, which cannot hold every name: the system's own UTF-16
  // copy of the command line, split as the C runtime splits it.
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) ::LocalFree(wide);
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
  }
  for (int i = 0; i < count; ++i) arguments.push_back(windows::utf8Of(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

// The system's wait on an address. A wait may end without a change: the callers look again.
void waitWhileEquals(const std::atomic<bool>& value, bool old) {
  while (value.load(std::memory_order_acquire) == old) {
    ::WaitOnAddress(const_cast<std::atomic<bool>*>(&value), &old, sizeof old, INFINITE);
  }
}

void waitWhileEquals(const std::atomic<std::uint64_t>& value, std::uint64_t old) {
  while (value.load(std::memory_order_acquire) == old) {
    ::WaitOnAddress(const_cast<std::atomic<std::uint64_t>*>(&value), &old, sizeof old, INFINITE);
  }
}

void wakeOneWaiting(std::atomic<bool>& value) { ::WakeByAddressSingle(&value); }

void wakeAllWaiting(std::atomic<std::uint64_t>& value) { ::WakeByAddressAll(&value); }

// Windows counts no voluntary waits of a thread. What stands for them: the time a thread spent
// off the processor since it last looked, beyond a tenth of what passed. A read that waited for a
// disk or a network spent its time off the processor; one that came from the cache did not.
long voluntaryWaitsOfThisThread() {
  thread_local long waits = 0;
  thread_local std::uint64_t lastWall = 0;
  thread_local std::uint64_t lastBusy = 0;
  FILETIME created{}, ended{}, kernel{}, user{};
  if (!::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user)) return waits;
  LARGE_INTEGER counter{}, frequency{};
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  // Both in 100 ns steps.
  const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
  const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
  const std::uint64_t wall = ticks / perSecond * 10'000'000ULL + ticks % perSecond * 10'000'000ULL / perSecond;
  const std::uint64_t busy = ticksOf(kernel) + ticksOf(user);
  if (lastWall != 0) {
    const std::uint64_t passed = wall - lastWall;
    const std::uint64_t worked = busy - lastBusy;
    if (passed > worked && passed - worked > passed / 10 + 100) ++waits;
  }
  lastWall = wall;
  lastBusy = busy;
  return waits;
}

}  // namespace trevanto::base

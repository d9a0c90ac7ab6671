// SPDX-License-Identifier: MIT
// The running program on a POSIX system.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/process.h"
#include "base/system.h"

namespace trevanto::base {
namespace {

volatile sig_atomic_t gStopSignal = 0;

extern "C" void onStopSignal(int signal) { gStopSignal = signal; }

}  // namespace

long currentProcessId() { return static_cast<long>(::getpid()); }

std::optional<std::string> environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool processRuns(long processId) {
  return processId > 0 && (::kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH);
}

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::optional<std::tm> localTimeParts(std::time_t time) {
  std::tm parts{};
  if (::localtime_r(&time, &parts) == nullptr) return std::nullopt;
  return parts;
}

std::optional<std::tm> utcTimeParts(std::time_t time) {
  std::tm parts{};
  if (::gmtime_r(&time, &parts) == nullptr) return std::nullopt;
  return parts;
}

std::time_t utcTimeOf(std::tm parts) { return ::timegm(&parts); }

std::string localZoneName(const std::tm& localParts) {
  char name[64];
  return std::string(name, std::strftime(name, sizeof name, "%Z", &localParts));
}

void catchStopRequests() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

bool stopRequested() { return gStopSignal != 0; }

void waitWhileEquals(const std::atomic<bool>& value, bool old) { value.wait(old, std::memory_order_acquire); }

void waitWhileEquals(const std::atomic<std::uint64_t>& value, std::uint64_t old) {
  value.wait(old, std::memory_order_acquire);
}

void wakeOneWaiting(std::atomic<bool>& value) { value.notify_one(); }

void wakeAllWaiting(std::atomic<std::uint64_t>& value) { value.notify_all(); }

long voluntaryWaitsOfThisThread() {
  rusage usage{};
  ::getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

}  // namespace trevanto::base

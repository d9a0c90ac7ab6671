// SPDX-License-Identifier: MIT
// Preloaded into a benchmark (LD_PRELOAD): every open of a file under the folder named by
// TREVANTO_SLOW_FOLDER first waits TREVANTO_SLOW_OPEN_US microseconds, as each open on a
// network share waits for a round trip. Everything else passes straight through.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

struct Slowness {
  const char* folder = nullptr;
  std::size_t folderLength = 0;
  timespec delay{};
};

const Slowness& slowness() {
  static const Slowness slow = [] {
    Slowness s;
    s.folder = std::getenv("TREVANTO_SLOW_FOLDER");
    s.folderLength = s.folder != nullptr ? std::strlen(s.folder) : 0;
    const char* micros = std::getenv("TREVANTO_SLOW_OPEN_US");
    const long us = micros != nullptr ? std::atol(micros) : 500;
    s.delay = {us / 1000000, (us % 1000000) * 1000};
    return s;
  }();
  return slow;
}

void waitIfSlow(const char* path) {
  const Slowness& slow = slowness();
  if (slow.folderLength == 0 || path == nullptr) return;
  if (std::strncmp(path, slow.folder, slow.folderLength) != 0 || path[slow.folderLength] != '/') return;
  timespec left = slow.delay;
  while (::nanosleep(&left, &left) != 0) {
  }
}

mode_t modeArgument(int flags, va_list arguments) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, unsigned)) : 0;
}

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

using OpenFunction = int (*)(const char*, int, ...);
using OpenAtFunction = int (*)(int, const char*, int, ...);

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  waitIfSlow(path);
  static const auto real = next<OpenFunction>("open");
  return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  waitIfSlow(path);
  static const auto real = next<OpenFunction>("open64");
  return real(path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  waitIfSlow(path);
  static const auto real = next<OpenAtFunction>("openat");
  return real(folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  waitIfSlow(path);
  static const auto real = next<OpenAtFunction>("openat64");
  return real(folder, path, flags, mode);
}

}  // extern "C"

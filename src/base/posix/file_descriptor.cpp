// SPDX-License-Identifier: MIT
#include "file_descriptor.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace trevanto::base {

int FileDescriptor::close() noexcept {
  if (fd_ < 0) return 0;
  // Linux releases the descriptor even when close fails, EINTR included: never retry.
  const int result = ::close(std::exchange(fd_, -1));
  return result == 0 ? 0 : errno;
}

ReadResult readUpTo(int fd, std::size_t limit) {
  constexpr std::size_t kFirstRead = 4096;
  ReadResult result;
  std::size_t filled = 0;
  while (filled < limit) {
    if (filled == result.bytes.size()) {
      result.bytes.resize(std::min(limit, std::max(kFirstRead, filled * 2)));
    }
    const ssize_t got = ::read(fd, result.bytes.data() + filled, result.bytes.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.error = errno;
      break;
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  result.bytes.resize(filled);
  return result;
}

int writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (put == 0) return ENOSPC;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return 0;
}

}  // namespace trevanto::base

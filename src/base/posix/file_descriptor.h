// SPDX-License-Identifier: MIT
// Where the floor holds POSIX file descriptors and reads from them: a
// descriptor closed when it goes out of scope, and a read loop that retries interrupted reads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace trevanto::base {

// Owns one open file descriptor (or none, as -1) and closes it when it goes.
class FileDescriptor {
 public:
  FileDescriptor() noexcept = default;
  // Takes fd over, as open() returned it: -1 holds nothing.
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { close(); }

  int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }
  // Closes now; returns 0, or the errno of a failed close (where a delayed write error shows).
  int close() noexcept;

 private:
  int fd_ = -1;
};

struct ReadResult {
  std::string bytes;  // what was read, even when a read then failed
  int error = 0;      // 0, or the errno of the read that failed
};

// Reads from the descriptor's offset until the end of the file or until limit bytes are read,
// whichever comes first; interrupted reads are retried. Fewer than limit bytes without an error
// means the end of the file was reached. To learn whether a file is larger than a limit, read
// up to limit + 1.
ReadResult readUpTo(int fd, std::size_t limit);

// Writes all bytes, retrying interrupted and short writes; returns 0 or the errno of the failure.
int writeAll(int fd, std::string_view bytes);

}  // namespace trevanto::base

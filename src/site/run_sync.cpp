// SPDX-License-Identifier: MIT
#include "run_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "base/posix/file_descriptor.h"
#include "base/file_error.h"

namespace trevanto::site {
namespace {

using base::FileDescriptor;

constexpr std::string_view kSyncFailed = "Не удалось записать на диск";
constexpr std::size_t kMaxSyncsAtOnce = 16;

FileDescriptor openToSync(const std::string& path) {
  return FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

}  // namespace

void syncFolder(const std::filesystem::path& folder) {
  const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd || ::fsync(fd.get()) != 0) throw base::FileError(std::string(kSyncFailed), folder, base::systemReason(errno));
}

void WrittenFiles::sync() {
  // Many syncs at once: the file system commits them together, where one after another would
  // each wait for a commit and a flush of their own (a few ms each, most of a first run).
  const std::vector<std::string> files(files_.begin(), files_.end());
  std::atomic<std::size_t> next = 0;
  std::mutex failureMutex;
  std::optional<std::pair<std::string, int>> failure;  // the file and its errno
  const auto syncFiles = [&] {
    for (std::size_t at; (at = next++) < files.size();) {
      const FileDescriptor fd = openToSync(files[at]);
      if (!fd && errno == ENOENT) continue;  // removed meanwhile: nothing left to sync
      if (!fd || ::fsync(fd.get()) != 0) {
        const int error = errno;
        const std::lock_guard lock(failureMutex);
        if (!failure) failure.emplace(files[at], error);
      }
    }
  };
  {
    std::vector<std::jthread> syncers;
    const std::size_t count = std::min(files.size(), kMaxSyncsAtOnce);
    try {
      for (std::size_t i = 1; i < count; ++i) syncers.emplace_back(syncFiles);
    } catch (const std::system_error&) {
      // No more threads to be had: those started, and this one, sync the rest.
    }
    syncFiles();
  }
  if (failure) throw base::FileError(std::string(kSyncFailed), failure->first, base::systemReason(failure->second));
  for (const std::string& folder : folders_) syncFolder(folder);
  files_.clear();
  folders_.clear();
}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
#include "run_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/file_descriptor.h"
#include "base/file_error.h"

namespace trevanto::site {
namespace {

using base::FileDescriptor;

constexpr std::string_view kSyncFailed = "Не удалось записать на диск";

FileDescriptor openToSync(const std::string& path) {
  return FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

}  // namespace

void syncFolder(const std::filesystem::path& folder) {
  const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd || ::fsync(fd.get()) != 0) throw base::FileError(std::string(kSyncFailed), folder, base::systemReason(errno));
}

void WrittenFiles::sync() {
  // Start writing every file out; each is then waited for below.
  for (const std::string& file : files_) {
    if (const FileDescriptor fd = openToSync(file); fd) ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
  }
  for (const std::string& file : files_) {
    const FileDescriptor fd = openToSync(file);
    if (!fd && errno == ENOENT) continue;
    if (!fd || ::fsync(fd.get()) != 0) throw base::FileError(std::string(kSyncFailed), file, base::systemReason(errno));
  }
  for (const std::string& folder : folders_) syncFolder(folder);
  files_.clear();
  folders_.clear();
}

}  // namespace trevanto::site

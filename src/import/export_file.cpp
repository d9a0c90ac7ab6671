// SPDX-License-Identifier: MIT
#include "export_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/posix/file_descriptor.h"
#include "base/file_error.h"
#include "formats.h"

namespace trevanto::import {
std::string readExportFile(const std::filesystem::path& file) {
  const base::FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd) throw base::FileError("Не удалось прочитать", file, base::systemReason(errno));
  // Refused before a byte is read: a file that says it is too large is not read into memory.
  struct stat info {};
  if (::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > kMaxExportBytes)
    throw base::FileError("Не удалось прочитать", file, "файл больше 1 ГиБ");
  base::ReadResult read = base::readUpTo(fd.get(), kMaxExportBytes + 1);
  if (read.error != 0) throw base::FileError("Не удалось прочитать", file, base::systemReason(read.error));
  if (read.bytes.size() > kMaxExportBytes) throw base::FileError("Не удалось прочитать", file, "файл больше 1 ГиБ");
  return std::move(read.bytes);
}

}  // namespace trevanto::import

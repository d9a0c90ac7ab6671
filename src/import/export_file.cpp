// SPDX-License-Identifier: MIT
#include "export_file.h"

#include <fcntl.h>

#include <cerrno>

#include "base/file_descriptor.h"
#include "base/file_error.h"

namespace trevanto::import {
namespace {

constexpr std::size_t kMaxExportBytes = std::size_t{1} << 30;

}  // namespace

std::string readExportFile(const std::filesystem::path& file) {
  const base::FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd) throw base::FileError("Не удалось прочитать", file, base::systemReason(errno));
  base::ReadResult read = base::readUpTo(fd.get(), kMaxExportBytes + 1);
  if (read.error != 0) throw base::FileError("Не удалось прочитать", file, base::systemReason(read.error));
  if (read.bytes.size() > kMaxExportBytes) throw base::FileError("Не удалось прочитать", file, "файл больше 1 ГиБ");
  return std::move(read.bytes);
}

}  // namespace trevanto::import

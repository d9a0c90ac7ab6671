// SPDX-License-Identifier: MIT
#include "bookmark_file.h"

#include "base/file_error.h"
#include "base/files.h"
#include "formats.h"

namespace trevanto::import {

std::string readBookmarkFile(const std::filesystem::path& file) {
  // Refused before a byte is read: a file that says it is too large is not read into memory.
  base::FileRead read = base::readFile(file, kMaxBookmarkFileBytes, base::FileKinds::Any);
  if (read.problem == base::ReadProblem::TooLarge) throw base::FileError("Не удалось прочитать", file, "файл больше 1 ГиБ");
  return std::move(read).take("Не удалось прочитать", file);
}

}  // namespace trevanto::import

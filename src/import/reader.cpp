// SPDX-License-Identifier: MIT
#include "reader.h"

#include <utility>

#include "base/file_error.h"
#include "bookmark_file.h"

namespace trevanto::import {

void Reader::parseWholeFile(const std::filesystem::path& file, const std::function<void(std::string bytes)>& parse) {
  std::string bytes = readBookmarkFile(file);
  namingTheFile(file, [&] { parse(std::move(bytes)); });
}

void Reader::namingTheFile(const std::filesystem::path& file, const std::function<void()>& parse) {
  try {
    parse();
  } catch (const FormatError& notThis) {
    throw base::FileError("Неизвестный вид закладок", file, notThis.what());
  } catch (const UnreadableError& unreadable) {
    throw base::FileError("Не удалось прочитать", file, unreadable.what());
  }
}

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
// profiles.ini through the system's profile functions (the floor's base/ini_file.h). They take
// a line they cannot read as no line, so every text reads; a value's backslashes stay as they
// are (Windows paths: "Path=C:\Users\...").
#include "base/file_error.h"
#include "base/ini_file.h"
#include "key_file.h"

namespace trevanto::import {

std::optional<KeyFile> KeyFile::read(std::string_view text, std::string& problem) {
  std::vector<base::IniGroup> groups;
  try {
    groups = base::systemReadIni(text);
  } catch (const base::FileError& failure) {
    problem = failure.what();
    return std::nullopt;
  }
  KeyFile read;
  for (base::IniGroup& group : groups) read.groups_.push_back({std::move(group.name), std::move(group.entries)});
  return read;
}

}  // namespace trevanto::import

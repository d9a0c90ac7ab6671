// SPDX-License-Identifier: MIT
// The two folders the window saved when it last closed, for the programs without a window: the
// source folder (DIR) and the site folder (DIRS), and how the window converts deeper folders
// (NESTED). No Qt type shows here.
#pragma once

#include <filesystem>
#include <string>

namespace trevanto::settings {

struct SavedFolders {
  std::filesystem::path source;  // DIR
  std::filesystem::path site;    // DIRS
  std::filesystem::path file;    // the settings file they were read from
  bool nestedSections = false;   // NESTED: folders below a section become sections of their own
  std::string error;             // why they cannot be had, naming the file; empty when both are there
  bool failed() const { return !error.empty(); }
};

// Reads the user's settings file ($XDG_CONFIG_HOME/Trevanto/Config.ini; on Windows
// %APPDATA%\Trevanto\Config.ini). Never writes it.
SavedFolders savedFolders();

}  // namespace trevanto::settings

// SPDX-License-Identifier: MIT
// Which entries of a folder are shortcuts, listed in the one name order.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/folder_order.h"

namespace trevanto::site {

// True when the name ends in ".url", whatever the case of the extension.
bool isShortcutName(std::string_view name);

// The entries of a folder whose names end in ".url" (whatever the case), in name order, as a
// run sees them: folders among them, dot or not, are marked. Throws FileError when the folder
// cannot be listed.
std::vector<base::FolderEntry> listShortcutEntries(const std::filesystem::path& folder);

// A section folder's listing in one pass: its shortcut entries as listShortcutEntries gives
// them, and its other subfolders (dot folders too), both in name order.
struct SectionListing {
  std::vector<base::FolderEntry> shortcuts;
  std::vector<std::string> subfolders;
};
SectionListing listSection(const std::filesystem::path& folder);

enum class FilePattern { AllFiles, Shortcuts };
// The files of a folder (folders never), in name order; Shortcuts keeps "*.url" only.
std::vector<std::string> listFiles(const std::filesystem::path& folder, FilePattern pattern);

}  // namespace trevanto::site

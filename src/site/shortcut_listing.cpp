// SPDX-License-Identifier: MIT
#include "shortcut_listing.h"

#include "base/text.h"

namespace trevanto::site {

bool isShortcutName(std::string_view name) {
  return name.size() >= 4 && base::equalsIgnoringAsciiCase(name.substr(name.size() - 4), ".url");
}

std::vector<base::FolderEntry> listShortcutEntries(const std::filesystem::path& folder) {
  return base::listEntries(folder, base::DotFolders::Listed, isShortcutName);
}

SectionListing listSection(const std::filesystem::path& folder) {
  SectionListing listing;
  for (base::FolderEntry& entry : base::listFolder(folder, base::DotFolders::Listed)) {
    if (isShortcutName(entry.name)) {
      listing.shortcuts.push_back(std::move(entry));
    } else if (entry.isFolder) {
      listing.subfolders.push_back(std::move(entry.name));
    }
  }
  return listing;
}

std::vector<std::string> listFiles(const std::filesystem::path& folder, FilePattern pattern) {
  return base::listFiles(folder, pattern == FilePattern::Shortcuts ? isShortcutName : nullptr);
}

}  // namespace trevanto::site

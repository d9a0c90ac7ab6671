// SPDX-License-Identifier: MIT
// The one order in which folders and files are shown and converted.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trevanto::site {

// By name, ignoring ASCII letter case; names equal but for case are ordered by their bytes.
bool nameOrderLess(std::string_view a, std::string_view b);

// True when the name ends in ".url", whatever the case of the extension.
bool isShortcutName(std::string_view name);

struct FolderEntry {
  std::string name;       // without folder, bytes as the file system holds them
  bool isFolder = false;  // a folder, or a link to one
};

// Whether folders whose names begin with '.' are listed. The window leaves them out while
// the user browses; a run converts them like any other (".NET" is an ordinary name elsewhere).
enum class DotFolders { LeftOut, Listed };

// Every entry of the folder except "." and "..", in name order; hidden files are always kept.
// Throws SiteError when the folder cannot be listed.
std::vector<FolderEntry> listFolder(const std::filesystem::path& folder, DotFolders dotFolders = DotFolders::LeftOut);

// The entries of a folder whose names end in ".url" (whatever the case), in name order, as a
// run sees them: folders among them, dot or not, are marked. Throws SiteError when the folder
// cannot be listed.
std::vector<FolderEntry> listShortcutEntries(const std::filesystem::path& folder);

// The immediate subfolders of a folder, in name order.
std::vector<std::string> listSubfolders(const std::filesystem::path& folder,
                                        DotFolders dotFolders = DotFolders::LeftOut);

enum class FilePattern { AllFiles, Shortcuts };
// The files of a folder (folders never), in name order; Shortcuts keeps "*.url" only.
std::vector<std::string> listFiles(const std::filesystem::path& folder, FilePattern pattern);

// Joins a folder path and a name with exactly one separator.
std::filesystem::path joinPath(const std::filesystem::path& folder, std::string_view name);

}  // namespace trevanto::site

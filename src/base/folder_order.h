// SPDX-License-Identifier: MIT
// The one order in which folders and files are shown and converted, and folder listings in it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trevanto::base {

// By name, ignoring ASCII letter case; names equal but for case are ordered by their bytes.
bool nameOrderLess(std::string_view a, std::string_view b);

struct FolderEntry {
  std::string name;       // without folder, bytes as the file system holds them
  bool isFolder = false;  // a folder, or a link to one
};

// Whether folders whose names begin with '.' are listed. The window leaves them out while
// the user browses; a run converts them like any other (".NET" is an ordinary name elsewhere).
enum class DotFolders { LeftOut, Listed };

// Every entry of the folder except "." and "..", in name order; hidden files are always kept.
// Throws FileError when the folder cannot be listed.
std::vector<FolderEntry> listFolder(const std::filesystem::path& folder, DotFolders dotFolders = DotFolders::LeftOut);

// The immediate subfolders of a folder, in name order.
std::vector<std::string> listSubfolders(const std::filesystem::path& folder,
                                        DotFolders dotFolders = DotFolders::LeftOut);

// Keeps an entry by its name; a listing asks it before it looks at anything else.
using NameFilter = bool (*)(std::string_view name);

// The entries of a folder that the filter keeps (all when there is none), in name order.
// Throws FileError when the folder cannot be listed.
std::vector<FolderEntry> listEntries(const std::filesystem::path& folder, DotFolders dotFolders, NameFilter keep);

// The files of a folder (folders never) that the filter keeps, in name order.
std::vector<std::string> listFiles(const std::filesystem::path& folder, NameFilter keep = nullptr);

// Joins a folder path and a name with exactly one separator.
std::filesystem::path joinPath(const std::filesystem::path& folder, std::string_view name);

}  // namespace trevanto::base

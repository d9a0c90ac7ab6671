// SPDX-License-Identifier: MIT
#include "folder_order.h"

#include <algorithm>

#include "files.h"
#include "system.h"
#include "text.h"

namespace trevanto::base {
namespace {

std::vector<FolderEntry> listKept(const std::filesystem::path& folder, ListingFilter keep) {
  std::vector<FolderEntry> entries;
  throwIfFailed(listFolderEntries(folder, entries, keep), "Не удалось прочитать папку", folder);
  return entries;
}

}  // namespace

std::vector<FolderEntry> listFolder(const std::filesystem::path& folder, DotFolders dotFolders) {
  return listKept(folder, {nullptr, ListingFilter::Types::All, dotFolders});
}

std::vector<std::string> listSubfolders(const std::filesystem::path& folder, DotFolders dotFolders) {
  std::vector<std::string> names;
  for (auto& entry : listKept(folder, {nullptr, ListingFilter::Types::Folders, dotFolders})) names.push_back(std::move(entry.name));
  return names;
}

std::vector<FolderEntry> listEntries(const std::filesystem::path& folder, DotFolders dotFolders, NameFilter keep) {
  return listKept(folder, {keep, ListingFilter::Types::All, dotFolders});
}

std::vector<std::string> listFiles(const std::filesystem::path& folder, NameFilter keep) {
  std::vector<std::string> names;
  for (auto& entry : listKept(folder, {keep, ListingFilter::Types::Files, DotFolders::Listed})) {
    names.push_back(std::move(entry.name));
  }
  return names;
}

std::filesystem::path joinPath(const std::filesystem::path& folder, std::string_view name) {
  std::string joined = folder.string();
  if (!joined.empty() && joined.back() != '/') joined.push_back('/');
  joined += name;
  return joined;
}

}  // namespace trevanto::base

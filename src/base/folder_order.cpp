// SPDX-License-Identifier: MIT
#include "folder_order.h"

#include <algorithm>

#include "files.h"
#include "path_text.h"
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
  // The system's own separator, so that a path shown to the user reads as the system writes it.
  constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
  std::string joined = textOf(folder);
  if (!joined.empty() && joined.back() != '/' && joined.back() != kSeparator) joined.push_back(kSeparator);
  joined += name;
  return pathOf(joined);
}

}  // namespace trevanto::base

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

bool nameOrderLess(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto la = static_cast<unsigned char>(asciiLower(a[i]));
    const auto lb = static_cast<unsigned char>(asciiLower(b[i]));
    if (la != lb) return la < lb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

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

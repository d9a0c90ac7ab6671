// SPDX-License-Identifier: MIT
#include "folder_order.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "charset.h"
#include "file_error.h"
#include "text.h"

namespace trevanto::base {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// The entry's type as its directory entry gives it; only a link, or a file system that gives
// no types, costs a stat.
bool entryIsFolder(const std::filesystem::path& folder, const dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat info {};
  const auto full = joinPath(folder, entry.d_name);
  return ::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// What a listing keeps. Names are looked at first, so an entry passed over by its name (or by
// a type its directory entry gives) costs nothing more.
enum class Keep { Everything, Folders, Files };

bool keptByType(Keep keep, bool isFolder) {
  switch (keep) {
    case Keep::Folders:
      return isFolder;
    case Keep::Files:
      return !isFolder;
    case Keep::Everything:
      break;
  }
  return true;
}

std::vector<FolderEntry> listKept(const std::filesystem::path& folder, Keep keep, DotFolders dotFolders,
                                  NameFilter keepName) {
  errno = 0;
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) throw FileError("Не удалось прочитать папку", folder, systemReason(errno));
  std::vector<FolderEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) throw FileError("Не удалось прочитать папку", folder, systemReason(errno));
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || (keepName != nullptr && !keepName(name))) continue;
    if (keep == Keep::Folders && entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) {
      continue;
    }
    const bool isFolder = entryIsFolder(folder, *entry);
    if (isFolder && dotFolders == DotFolders::LeftOut && name.starts_with('.')) continue;
    if (!keptByType(keep, isFolder)) continue;
    entries.push_back({std::string(name), isFolder});
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return nameOrderLess(a.name, b.name); });
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
  return listKept(folder, Keep::Everything, dotFolders, nullptr);
}

std::vector<std::string> listSubfolders(const std::filesystem::path& folder, DotFolders dotFolders) {
  std::vector<std::string> names;
  for (auto& entry : listKept(folder, Keep::Folders, dotFolders, nullptr)) names.push_back(std::move(entry.name));
  return names;
}

std::vector<FolderEntry> listEntries(const std::filesystem::path& folder, DotFolders dotFolders, NameFilter keep) {
  return listKept(folder, Keep::Everything, dotFolders, keep);
}

std::vector<std::string> listFiles(const std::filesystem::path& folder, NameFilter keep) {
  std::vector<std::string> names;
  for (auto& entry : listKept(folder, Keep::Files, DotFolders::Listed, keep)) {
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

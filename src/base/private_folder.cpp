// SPDX-License-Identifier: MIT
// What the private temporary folder does alike on every system: its name, and which folders left
// under the temporary folder by a process that no longer runs are removed. Making the folder and
// removing it when the program is ended belong to each system (posix/, windows/).
#include "private_folder.h"

#include <optional>
#include <system_error>
#include <vector>

#include "file_error.h"
#include "folder_order.h"
#include "path_text.h"
#include "process.h"

namespace trevanto::base {
namespace {

namespace fs = std::filesystem;

// The process id in a name "PREFIXPID-…", when the name is one of such a folder.
std::optional<long> makerOf(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return std::nullopt;
  const std::string_view rest = name.substr(prefix.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 9 ||
      rest.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  const long pid = std::stol(std::string(rest.substr(0, dash)));
  if (pid <= 0) return std::nullopt;
  return pid;
}

}  // namespace

std::string PrivateFolder::namePrefix(std::string_view prefix, long processId) {
  return std::string(prefix) + std::to_string(processId) + "-";
}

void PrivateFolder::removeLeftovers(const fs::path& temporaryFolder, std::string_view prefix) {
  std::vector<FolderEntry> entries;
  try {
    entries = listFolder(temporaryFolder, DotFolders::Listed);
  } catch (const FileError&) {
    return;
  }
  for (const FolderEntry& entry : entries) {
    if (!entry.isFolder) continue;
    const std::optional<long> maker = makerOf(entry.name, prefix);
    if (!maker) continue;
    const fs::path folder = temporaryFolder / pathOf(entry.name);
    if (!isThisUsersFolder(folder) || processRuns(*maker)) continue;
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
}

}  // namespace trevanto::base

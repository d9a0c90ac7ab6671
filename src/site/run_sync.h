// SPDX-License-Identifier: MIT
// What a run wrote, put on the disk once at its end, so that the links a run reports as written
// survive a power cut that follows.
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "base/files.h"

namespace trevanto::site {

// The files a run wrote and the folders whose entries it changed, synced together: the files'
// syncs run side by side, so the file system commits them in one go rather than a commit and a
// flush per page.
class WrittenFiles {
 public:
  void addFile(const std::filesystem::path& file) { files_.insert(file.string()); }
  void addFolder(const std::filesystem::path& folder) { folders_.insert(folder.string()); }
  bool empty() const { return files_.empty() && folders_.empty(); }

  // Throws FileError naming the first file or folder that could not be synced; a file removed
  // meanwhile has nothing left to sync. Everything is synced once: afterwards it is empty.
  void sync();

 private:
  std::set<std::string> files_;
  std::set<std::string> folders_;
};

}  // namespace trevanto::site

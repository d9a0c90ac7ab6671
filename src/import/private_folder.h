// SPDX-License-Identifier: MIT
// A folder of the import's own under the system's temporary folder, for a private copy of a
// browser's database: removed with its content when done, when the program is ended by a
// signal it can catch, and, after one it cannot (SIGKILL, a power cut), by the next import once
// the process that made it is gone.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace trevanto::import {

class PrivateFolder {
 public:
  // fileNames: the names that may come to stand in the folder, removed also from a signal
  // handler (which cannot list the folder). Throws the importer's file error naming the folder.
  explicit PrivateFolder(std::initializer_list<std::string_view> fileNames);
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  ~PrivateFolder();
  const std::filesystem::path& path() const { return path_; }

  // The name prefix of such folders: "trevanto-import-PID-".
  static std::string namePrefix(long pid);
  // Removes the folders of this user under temporaryFolder whose maker no longer runs.
  static void removeLeftovers(const std::filesystem::path& temporaryFolder);

 private:
  std::filesystem::path path_;
};

}  // namespace trevanto::import

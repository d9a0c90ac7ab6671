// SPDX-License-Identifier: MIT
// A folder of the program's own under the system's temporary folder, for private copies of
// files (a browser's database, say): removed with its content when done, when the program is
// ended by a request to stop it, and, after an end it cannot catch (killed, a power cut), by the
// next one made with the same prefix once the process that made it is gone.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace trevanto::base {

class PrivateFolder {
 public:
  // prefix: the start of the folder's name, "trevanto-import-" say, followed by the process id
  // and a dash. fileNames: the names that may come to stand in the folder, removed also when a
  // signal ends the program (the folder cannot be listed then). Throws FileError naming the
  // folder.
  PrivateFolder(std::string_view prefix, std::initializer_list<std::string_view> fileNames);
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  ~PrivateFolder();
  const std::filesystem::path& path() const { return path_; }

  // The name prefix of such folders of a process: "PREFIXPID-".
  static std::string namePrefix(std::string_view prefix, long processId);
  // Removes the folders of this user under temporaryFolder whose maker no longer runs.
  static void removeLeftovers(const std::filesystem::path& temporaryFolder, std::string_view prefix);

 private:
  // Whether a folder found under the temporary folder is this user's own, so that it may be
  // removed (each system says how it knows).
  static bool isThisUsersFolder(const std::filesystem::path& folder);

  std::filesystem::path path_;
};

}  // namespace trevanto::base

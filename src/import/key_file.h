// SPDX-License-Identifier: MIT
// A file of groups and keys as Firefox writes its profiles.ini, read by a reader of the system's
// own: GLib's key file (key_file_glib.cpp) where GLib is the desktop's library, the system's
// profile functions on Windows (key_file_windows.cpp, through the floor).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trevanto::import {

class KeyFile {
 public:
  struct Group {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
  };

  // The groups of text in the file's order; nothing, with the reader's reason in problem, when
  // the text is not such a file.
  static std::optional<KeyFile> read(std::string_view text, std::string& problem);

  const std::vector<Group>& groups() const { return groups_; }
  // A key's value in a group, empty when the group or the key is not there.
  std::string value(std::string_view group, std::string_view key) const;

 private:
  std::vector<Group> groups_;
};

}  // namespace trevanto::import

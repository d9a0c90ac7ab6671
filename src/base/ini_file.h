// SPDX-License-Identifier: MIT
// The system's own reader of ini files, where the system has one (Windows: the profile
// functions, GetPrivateProfileStringW; the Linux build reads such files with GLib's key file in
// the importer and has no implementation of this).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trevanto::base {

struct IniGroup {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;  // key and value, in the file's order
};

// The groups of an ini text in UTF-8, in the file's order, each with its keys. The system reads
// files, not text: the text is handed to it as a file of UTF-16 in a private temporary folder,
// so that it is read as UTF-8 whatever the system's narrow code page. Throws FileError when that
// file cannot be written.
std::vector<IniGroup> systemReadIni(std::string_view utf8Text);

}  // namespace trevanto::base

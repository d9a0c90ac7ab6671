// SPDX-License-Identifier: MIT
// Names of shortcut files, and the comparison of names that a file system folds to one; the
// safe names themselves are the converter's (site/section_names.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "site/section_names.h"

namespace trevanto::import {

using site::appendFolderTitle;
using site::kDefaultSection;
using site::kFolderSeparator;
using site::kMaxNameBytes;
using site::kMaxNameCharacters;
using site::safeFolderTitle;
using site::safeName;
using site::sectionName;
using site::sectionNameOfJoined;
using site::withSuffix;

inline constexpr std::string_view kDefaultTitle = "Закладка";

// A title as a reader gives it, in UTF-8: valid UTF-8 is kept, anything else is read as
// Windows-1251 (the names of files copied from old disks). The collecting sink makes every
// title UTF-8 through it, once for all readers.
std::string titleAsUtf8(std::string_view title);

// The host name of an address ("www.example.com" of "https://u@www.example.com:8080/x"), or
// empty when it has none.
std::string hostOf(std::string_view address);

// The name of a bookmark's shortcut file, less ".url": its title made safe, or failing that its
// address's host name as it reads (address::readableHost), or failing that kDefaultTitle.
std::string shortcutBaseName(std::string_view title, std::string_view address);

// The key under which names equal but for letter case compare equal, in every alphabet: each
// character in upper case, as the name order sets case aside (bytes that are not UTF-8 kept).
std::string foldCase(std::string_view utf8);

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
// Names of section folders and shortcut files, made safe for any file system a collection may
// be copied to, and the comparison of names that such a file system folds to one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace trevanto::import {

inline constexpr std::size_t kMaxNameCharacters = 120;
inline constexpr std::size_t kMaxNameBytes = 200;
inline constexpr std::string_view kDefaultSection = "Закладки";
inline constexpr std::string_view kDefaultTitle = "Закладка";
inline constexpr std::string_view kFolderSeparator = " - ";

// A title as a file or folder name: no / \ : * ? " < > | or control characters (each becomes
// '_', a line break a blank), no blanks at either end, no trailing dots, no leading dot (it
// becomes '_'), at most kMaxNameCharacters characters and kMaxNameBytes bytes, and a Windows
// device name gets '_' added. Bytes that are not UTF-8 become '_'. May come out empty.
std::string safeName(std::string_view title);

// A folder's title as part of a section name: as safeName, but a leading dot stays unless a
// second dot follows (".NET" stays): a dot folder is a section like any other.
std::string safeFolderTitle(std::string_view title);

// A safe name with a suffix added, the name cut at a character boundary so that the whole
// stays within the limits.
std::string withSuffix(std::string_view safe, std::string_view suffix);

// The host name of an address ("www.example.com" of "https://u@www.example.com:8080/x"), or
// empty when it has none.
std::string hostOf(std::string_view address);

// The name of a bookmark's shortcut file, less ".url": its title made safe, or failing that its
// address's host name as it reads (address::readableHost), or failing that kDefaultTitle.
std::string shortcutBaseName(std::string_view title, std::string_view address);

// The section a bookmark goes to: the safe titles of the folders that hold it, outermost first,
// joined with kFolderSeparator and capped like any name; namedSection when there are none. A
// name that would make the section's page one of the site's own pages gets " _" added.
std::string sectionName(const std::vector<std::string>& safeFolderTitles, std::string_view namedSection);
// The same from the titles already joined (the part past 2 * kMaxNameBytes makes no difference).
std::string sectionNameOfJoined(std::string_view joined, std::string_view namedSection);

// The key under which names equal but for letter case compare equal, for every script the
// system's C.UTF-8 locale knows the case of.
std::string foldCase(std::string_view utf8);

}  // namespace trevanto::import

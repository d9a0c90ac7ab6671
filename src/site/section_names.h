// SPDX-License-Identifier: MIT
// Names of sections and shortcut files made safe for any file system a collection may be copied
// to, and a section named after the folders that hold it: the names the importer gives and the
// run gives a deeper folder, so that the two agree.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace trevanto::site {

inline constexpr std::size_t kMaxNameCharacters = 120;
inline constexpr std::size_t kMaxNameBytes = 200;
inline constexpr std::string_view kFolderSeparator = " - ";
// The section of what no folder holds, unless another is named.
inline constexpr std::string_view kDefaultSection = "Закладки";
// The joined titles past this many bytes cannot change the section name, which is capped far
// shorter.
inline constexpr std::size_t kJoinedBytes = 2 * kMaxNameBytes;

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

// Adds a folder's title (UTF-8), made safe, to the titles of the folders that hold it, joined
// with kFolderSeparator and cut at kJoinedBytes; a title that comes out empty adds nothing.
void appendFolderTitle(std::string& joined, std::string_view title);

// The section a bookmark goes to: the safe titles of the folders that hold it, outermost first,
// joined with kFolderSeparator and capped like any name; namedSection when there are none. A
// name that would make the section's page one of the site's own pages gets " _" added.
std::string sectionName(const std::vector<std::string>& safeFolderTitles, std::string_view namedSection);
// The same from the titles already joined (appendFolderTitle).
std::string sectionNameOfJoined(std::string_view joined, std::string_view namedSection);

}  // namespace trevanto::site

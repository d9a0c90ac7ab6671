// SPDX-License-Identifier: MIT
// Writing bookmarks into a collection of shortcut files: never overwriting, never deleting,
// each shortcut whole or not at all.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/files.h"

namespace trevanto::import {

// An address as it goes into a shortcut: trimmed of blanks and control characters at either
// end, every tab, CR and LF inside dropped, and every other character outside printable ASCII
// percent-encoded as UTF-8.
std::string shortcutAddress(std::string_view address);

// The whole shortcut file for an address already made a shortcutAddress.
std::string shortcutText(std::string_view shortcutAddress);

// The address a shortcut's text leads to, as the converter writes it into a page; two
// shortcuts with the same key give the same link. Empty when the text holds no address.
std::string pageAddressOf(std::string_view shortcutFileBytes);

enum class AddOutcome { Added, AlreadyThere };

// The collection (SOURCE): its sections are its immediate subfolders. Reads each section's
// shortcuts once, when a bookmark first goes there.
class CollectionWriter {
 public:
  // Creates the collection folder when absent and locks it for this import (a second import of
  // the same collection fails, saying it is busy). Throws base::FileError.
  // Creates the collection when absent if create is set; otherwise one missing is a FileError.
  CollectionWriter(const std::filesystem::path& collection, bool create);
  CollectionWriter(const CollectionWriter&) = delete;
  CollectionWriter& operator=(const CollectionWriter&) = delete;

  // section: a safe section name; baseName: the safe file name less ".url"; address: a
  // shortcutAddress, written as it is. A shortcut of the section whose page address is the same
  // URL (address::addressIdentity) makes the bookmark AlreadyThere; a name taken (letter case aside) gets
  // " (2)", " (3)" ... added. A shortcut written for a bookmark whose date is known (seconds
  // since 1970, 0 when not) gets it as its file's modification time. Throws base::FileError
  // naming the file; nothing half-written stays.
  AddOutcome add(std::string_view section, std::string_view baseName, std::string_view address,
                 std::int64_t added = 0);

 private:
  struct Section {
    std::string name;         // the folder's name as it stands
    base::OpenFolder folder;  // opened when the first shortcut is written
    bool exists = false;
    std::unordered_set<std::string> addresses;  // addressIdentity of its shortcuts' page addresses
    std::unordered_set<std::string> names;      // folded names of everything in it
    std::unordered_map<std::string, int> lastNumber;  // by folded base name: the last " (N)" tried
  };
  Section& section(std::string_view name);
  void openForWriting(Section& section);
  // Writes the file under a free name; returns false when the name turned out to be taken.
  bool writeNew(Section& section, const std::string& fileName, std::string_view bytes, std::int64_t added);

  std::filesystem::path collection_;
  base::OpenFolder folder_;
  struct TopEntry {
    std::string name;  // as it stands, letter case included
    bool isFolder = false;
  };
  std::unordered_map<std::string, TopEntry> topNames_;  // by folded name
  std::unordered_map<std::string, Section> sections_;   // by folded name
  const std::string& temporaryName();
  std::string temporaryName_;  // the temporary file's name in every section folder
  unsigned long temporaryCounter_ = 0;
};

}  // namespace trevanto::import

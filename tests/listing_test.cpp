// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/file_error.h"
#include "base/folder_order.h"
#include "site/shortcut_listing.h"
#include "test_support.h"

using namespace trevanto::base;
using namespace trevanto::site;
using trevanto::testing::TempFolder;
using trevanto::testing::writeFile;
namespace fs = std::filesystem;

namespace {

// Entries' types come from the directory entries; links (and file systems that give no
// types) are looked through, so a link to a folder counts as a folder.
TEST(Listing, eachListingKeepsItsKindInNameOrderWhateverTheEntryTypes) {
  TempFolder temp;
  const fs::path folder = temp / "S";
  for (const char* file : {"b.URL", "a.url", "notes.txt", ".h.url"}) writeFile(folder / file, "x");
  for (const char* sub : {"c.url", "Sub", ".hidden"}) fs::create_directories(folder / sub);
  fs::create_directory_symlink(folder / "Sub", folder / "d.url");
  fs::create_directory_symlink(folder / "Sub", folder / "link-sub");
  fs::create_symlink(folder / "a.url", folder / "e.url");
  fs::create_symlink(folder / "a.url", folder / "link-txt");
  fs::create_symlink(folder / "nowhere", folder / "f.url");

  std::vector<std::string> names;
  std::vector<std::string> folders;
  for (const FolderEntry& entry : listShortcutEntries(folder)) {
    names.push_back(entry.name);
    if (entry.isFolder) folders.push_back(entry.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{".h.url", "a.url", "b.URL", "c.url", "d.url", "e.url", "f.url"}));
  EXPECT_EQ(folders, (std::vector<std::string>{"c.url", "d.url"}));
  EXPECT_EQ(listSubfolders(folder), (std::vector<std::string>{"c.url", "d.url", "link-sub", "Sub"}));
  EXPECT_EQ(listFiles(folder, FilePattern::Shortcuts),
            (std::vector<std::string>{".h.url", "a.url", "b.URL", "e.url", "f.url"}));
  EXPECT_EQ(listFiles(folder, FilePattern::AllFiles),
            (std::vector<std::string>{".h.url", "a.url", "b.URL", "e.url", "f.url", "link-txt", "notes.txt"}));
  EXPECT_THROW(listShortcutEntries(temp / "missing"), FileError);
}

}  // namespace

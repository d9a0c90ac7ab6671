// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
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
#ifndef _WIN32  // symbolic links on Windows need a right ordinary users lack
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
#endif

// Case is set aside in every alphabet: each character in upper case, then code point order, as
// an NTFS folder orders its names; so "Ё" (U+0401) and "ё" stand together ahead of "А".
TEST(NameOrder, setsCaseAsideInEveryAlphabetThenOrdersByBytes) {
  std::vector<std::string> fruit = {"апельсин", "Банан", "вишня", "Ёлка", "ёж", "Яблоко", "груша", "Дыня"};
  std::sort(fruit.begin(), fruit.end(), nameOrderLess);
  EXPECT_EQ(fruit, (std::vector<std::string>{"ёж", "Ёлка", "апельсин", "Банан", "вишня", "груша", "Дыня", "Яблоко"}));

  // Latin with accents, Greek (both small sigmas are one capital) and the ASCII signs that lie
  // between the capitals and the small letters, which come after the letters.
  EXPECT_TRUE(nameOrderLess("éclair", "Ézé"));
  EXPECT_TRUE(nameOrderLess("σοφια", "ΣΟΦΙΑΣ"));
  EXPECT_EQ(nameOrderKey("ς"), nameOrderKey("σ"));
  EXPECT_TRUE(nameOrderLess("Zeta", "_alpha"));
  EXPECT_TRUE(nameOrderLess("a", "[b]"));
  EXPECT_TRUE(nameOrderLess("ab", "AB c"));

  // Equal but for case: by bytes, capitals first; never equal unless the bytes are.
  EXPECT_TRUE(nameOrderLess("Ёлка", "ёлка"));
  EXPECT_FALSE(nameOrderLess("ёлка", "Ёлка"));
  EXPECT_FALSE(nameOrderLess("ёлка", "ёлка"));
  EXPECT_TRUE(nameOrderLess("News", "news"));

  // A name in Windows-1251 bytes is ordered as it reads: "Работа" before "Эмодзи", and
  // beside its UTF-8 spelling (which has the smaller first byte).
  const std::string work1251 = "\xD0\xE0\xE1\xEE\xF2\xE0";
  const std::string lower1251 = "\xF0\xE0\xE1\xEE\xF2\xE0";
  EXPECT_TRUE(nameOrderLess(work1251, "Эмодзи"));
  EXPECT_TRUE(nameOrderLess("Проекты", work1251));
  EXPECT_EQ(nameOrderKey(lower1251), nameOrderKey("Работа"));
  EXPECT_TRUE(nameOrderLess("Работа", lower1251));
  EXPECT_TRUE(nameOrderLess(work1251, lower1251));
  EXPECT_EQ(simpleUpperCase(U'ё'), U'Ё');
  EXPECT_EQ(simpleUpperCase(U'ß'), U'ß');  // no single capital: left as it is
  EXPECT_EQ(simpleUpperCase(0x1E922), 0x1E900u);  // Adlam, the last alphabet of the table
}

// The keyed sort of listings and the comparison agree, ties included.
TEST(NameOrder, keyedSortAgreesWithTheComparison) {
  const std::vector<std::string> pieces = {"a", "A", "ё", "Ё", "е", "_", "z", "Я", "\xC0", "\xE0", "1", "ß", "σ", "ς", " "};
  std::mt19937 random(7);
  std::vector<std::string> names;
  for (int i = 0; i < 2000; ++i) {
    std::string name;
    for (int length = 1 + static_cast<int>(random() % 4); length > 0; --length) name += pieces[random() % pieces.size()];
    names.push_back(name);
  }
  std::vector<std::string> compared = names;
  std::sort(compared.begin(), compared.end(), nameOrderLess);
  sortInNameOrder(names, [](const std::string& name) -> const std::string& { return name; });
  EXPECT_EQ(names, compared);
  EXPECT_TRUE(std::is_sorted(compared.begin(), compared.end(), nameOrderLess));
}

// A folder on disk is listed in that order, names in Windows-1251 bytes among them.
TEST(NameOrder, listingsFollowIt) {
  TempFolder temp;
  const fs::path folder = temp / "S";
  for (const char* name : {"Эмодзи", "\xD0\xE0\xE1\xEE\xF2\xE0", "ёж", "Ёлка", "Банан", "_old", "zeta"}) {
    fs::create_directories(folder / trevanto::base::pathOf(name));
  }
#ifdef _WIN32  // names are UTF-16 there: the Windows-1251 name was made, and is listed, as it reads
  const std::string oldDiskName = "Работа";
#else
  const std::string oldDiskName = "\xD0\xE0\xE1\xEE\xF2\xE0";
#endif
  EXPECT_EQ(listSubfolders(folder),
            (std::vector<std::string>{"zeta", "_old", "ёж", "Ёлка", "Банан", oldDiskName, "Эмодзи"}));
}

}  // namespace

// SPDX-License-Identifier: MIT
// The one order in which folders and files are shown and converted, and folder listings in it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trevanto::base {

// By name with case left aside in every alphabet, as an NTFS folder orders its names: each
// character mapped to upper case by Unicode's simple case mapping, then compared by code point
// (so "Ё" and "ё" stand together, and "_" after the letters). A name that is not UTF-8 is read
// as Windows-1251, as it is shown. Names equal but for case are ordered by their bytes.
bool nameOrderLess(std::string_view a, std::string_view b);

// What nameOrderLess compares before the bytes: the name's characters mapped to upper case.
std::u32string nameOrderKey(std::string_view name);

// Unicode's simple upper-case mapping of one character (itself when it has none).
char32_t simpleUpperCase(char32_t cp);

// Sorts items by the names nameOf gives, in the order of nameOrderLess, each name's key made
// once rather than at every comparison.
template <typename Item, typename NameOf>
void sortInNameOrder(std::vector<Item>& items, NameOf nameOf) {
  struct Keyed {
    std::u32string key;
    std::size_t index;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) keyed.push_back({nameOrderKey(nameOf(items[i])), i});
  std::sort(keyed.begin(), keyed.end(), [&items, &nameOf](const Keyed& a, const Keyed& b) {
    if (a.key != b.key) return a.key < b.key;
    return std::string_view(nameOf(items[a.index])) < std::string_view(nameOf(items[b.index]));
  });
  std::vector<Item> sorted;
  sorted.reserve(items.size());
  for (const Keyed& entry : keyed) sorted.push_back(std::move(items[entry.index]));
  items = std::move(sorted);
}

struct FolderEntry {
  std::string name;       // without folder, bytes as the file system holds them
  bool isFolder = false;  // a folder, or a link to one
};

// Whether folders whose names begin with '.' are listed. The window leaves them out while
// the user browses; a run converts them like any other (".NET" is an ordinary name elsewhere).
enum class DotFolders { LeftOut, Listed };

// Every entry of the folder except "." and "..", in name order; hidden files are always kept.
// Throws FileError when the folder cannot be listed.
std::vector<FolderEntry> listFolder(const std::filesystem::path& folder, DotFolders dotFolders = DotFolders::LeftOut);

// The immediate subfolders of a folder, in name order.
std::vector<std::string> listSubfolders(const std::filesystem::path& folder,
                                        DotFolders dotFolders = DotFolders::LeftOut);

// Keeps an entry by its name; a listing asks it before it looks at anything else.
using NameFilter = bool (*)(std::string_view name);

// The entries of a folder that the filter keeps (all when there is none), in name order.
// Throws FileError when the folder cannot be listed.
std::vector<FolderEntry> listEntries(const std::filesystem::path& folder, DotFolders dotFolders, NameFilter keep);

// The files of a folder (folders never) that the filter keeps, in name order.
std::vector<std::string> listFiles(const std::filesystem::path& folder, NameFilter keep = nullptr);

// Joins a folder path and a name with exactly one separator.
std::filesystem::path joinPath(const std::filesystem::path& folder, std::string_view name);

}  // namespace trevanto::base

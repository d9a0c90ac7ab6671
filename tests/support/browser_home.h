// SPDX-License-Identifier: MIT
// Browser profiles written in the browsers' own formats, for the tests and the benchmarks: a
// Firefox places.sqlite made with SQLite, a Chromium-family Bookmarks file, and a whole fake home
// holding profiles in every layout the importer looks for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trevanto::testing {

struct FakeBookmark {
  std::string folder;  // under the toolbar; empty: directly on it
  std::string title;
  std::string address;
  std::int64_t added = 0;  // seconds since 1970; 0: not given
};

// A places.sqlite (Firefox) holding the bookmarks. Throws std::runtime_error.
void writePlaces(const std::filesystem::path& file, const std::vector<FakeBookmark>& bookmarks);
// A Chromium-family Bookmarks file holding them.
void writeChromiumBookmarks(const std::filesystem::path& file, const std::vector<FakeBookmark>& bookmarks);
// A Chromium-family Local State naming the profile folders with the names the user gave them.
void writeLocalState(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, std::string>>& folderAndName);

// One profile of the fake home, as the importer should find it.
struct FakeProfile {
  std::string browser;
  std::string name;
  std::filesystem::path folder;
  std::filesystem::path bookmarks;  // empty when it holds none or cannot be read
  std::int64_t count = 0;           // bookmarks in it
  bool readable = true;
};

// A home with HOME and XDG_CONFIG_HOME apart: Firefox in ~/.mozilla (profiles.ini with an
// [Install...] default, a relative, an absolute, a missing and an unlistable profile folder), under
// XDG_CONFIG_HOME, in the snap and flatpak homes, LibreWolf; Google Chrome with a Local State of
// three profiles (one Bookmarks file broken), Chromium's snap without a Local State, Brave's
// flatpak; and a Chromium profile under ~/.config, which must not be found while XDG_CONFIG_HOME
// points elsewhere.
class FakeHome {
 public:
  explicit FakeHome(const std::filesystem::path& root);
  std::filesystem::path home;
  std::filesystem::path config;
  std::vector<FakeProfile> profiles;  // every profile that should be found
  bool lockedFolderUnreadable = false;  // false when running as root, who reads everything
};

// The profiles as Windows keeps them: Chrome (a Local State of two profiles, one named in
// Cyrillic), Edge, Brave, Vivaldi and Yandex under localAppData; Opera (its profile the folder
// itself) and Firefox (profiles.ini in CRLF lines, an [Install...] default, a profile folder of a
// Cyrillic name, a profile never used) under appData. Built for Windows, Firefox also names an
// absolute profile folder by a path with backslashes, as it writes them there.
class FakeWindowsHome {
 public:
  explicit FakeWindowsHome(const std::filesystem::path& root);
  std::filesystem::path localAppData;
  std::filesystem::path appData;
  std::vector<FakeProfile> profiles;  // every profile that should be found
  std::int64_t bookmarkCount = 0;     // in all of them
};

}  // namespace trevanto::testing

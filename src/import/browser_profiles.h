// SPDX-License-Identifier: MIT
// The browser profiles of the user on this machine: Firefox and the browsers that keep its
// profile layout (profiles.ini), and the Chromium family (Local State), in their ordinary,
// snap and flatpak homes on Linux, and under the user's application data folders on Windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trevanto::import {

// Where the user's files are: on Linux HOME and XDG_CONFIG_HOME, on Windows LOCALAPPDATA and
// APPDATA. The folders of each system are searched when they are given (not empty).
struct UserHome {
  std::filesystem::path home;
  std::filesystem::path config;        // XDG_CONFIG_HOME, or home/.config when unset, empty or relative
  std::filesystem::path localAppData;  // %LOCALAPPDATA%: Chrome, Edge, Brave, Vivaldi, Yandex
  std::filesystem::path appData;       // %APPDATA%: Opera, Firefox and its kin
  static UserHome fromEnvironment();
};

struct BrowserProfile {
  std::string browser;             // "Firefox", "Google Chrome (flatpak)", ...
  std::string name;                // the name the user gave it, UTF-8
  std::filesystem::path folder;    // the profile folder
  std::filesystem::path bookmarks; // its places.sqlite or Bookmarks; empty when it has none yet
  std::string problem;             // why it cannot be read; empty when it can
  bool isDefault = false;          // the profile the browser opens

  // "Firefox «default-release»", for messages.
  std::string label() const;
};

// Every profile found, browser by browser, each profile folder once. Profiles whose folder is
// missing or cannot be listed are there with their problem.
std::vector<BrowserProfile> findBrowserProfiles(const UserHome& home);

// How many bookmarks a profile's file holds, read as an import reads it. Throws base::FileError
// naming the file.
std::int64_t countBookmarks(const std::filesystem::path& file);

}  // namespace trevanto::import

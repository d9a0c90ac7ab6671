// SPDX-License-Identifier: MIT
#include "browser_profiles.h"

#include <array>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "importer.h"
#include "key_file.h"
#include "reader.h"
#include "base/file_error.h"
#include "base/files.h"
#include "base/path_text.h"
#include "base/process.h"

namespace trevanto::import {
namespace {

namespace fs = std::filesystem;

// Where a browser keeps its profiles, under HOME or under XDG_CONFIG_HOME.
enum class Base { Home, Config };

struct FirefoxHome {
  const char* browser;
  Base base;
  const char* folder;  // the one holding profiles.ini
};

// Firefox and the browsers that keep its layout; the newer Firefox keeps its profiles under
// XDG_CONFIG_HOME, the older (and most installations) under ~/.mozilla.
constexpr std::array<FirefoxHome, 11> kFirefoxHomes = {{
    {"Firefox", Base::Home, ".mozilla/firefox"},
    {"Firefox", Base::Config, "mozilla/firefox"},
    {"Firefox (snap)", Base::Home, "snap/firefox/common/.mozilla/firefox"},
    {"Firefox (flatpak)", Base::Home, ".var/app/org.mozilla.firefox/.mozilla/firefox"},
    {"Firefox (flatpak)", Base::Home, ".var/app/org.mozilla.firefox/config/mozilla/firefox"},
    {"LibreWolf", Base::Home, ".librewolf"},
    {"LibreWolf (flatpak)", Base::Home, ".var/app/io.gitlab.librewolf-community/.librewolf"},
    {"Waterfox", Base::Home, ".waterfox"},
    {"Waterfox (flatpak)", Base::Home, ".var/app/net.waterfox.waterfox/.waterfox"},
    {"Floorp", Base::Home, ".floorp"},
    {"Floorp (flatpak)", Base::Home, ".var/app/one.ablaze.floorp/.floorp"},
}};

struct ChromiumHome {
  const char* browser;
  const char* folder;   // under XDG_CONFIG_HOME, the one holding "Local State"
  const char* flatpak;  // the flatpak's id, or null
};

constexpr std::array<ChromiumHome, 18> kChromiumHomes = {{
    {"Chromium", "chromium", "org.chromium.Chromium"},
    {"Google Chrome", "google-chrome", "com.google.Chrome"},
    {"Google Chrome Beta", "google-chrome-beta", nullptr},
    {"Google Chrome Unstable", "google-chrome-unstable", "com.google.ChromeDev"},
    {"Microsoft Edge", "microsoft-edge", "com.microsoft.Edge"},
    {"Microsoft Edge Beta", "microsoft-edge-beta", nullptr},
    {"Microsoft Edge Dev", "microsoft-edge-dev", nullptr},
    {"Brave", "BraveSoftware/Brave-Browser", "com.brave.Browser"},
    {"Brave Beta", "BraveSoftware/Brave-Browser-Beta", nullptr},
    {"Brave Nightly", "BraveSoftware/Brave-Browser-Nightly", nullptr},
    {"Vivaldi", "vivaldi", "com.vivaldi.Vivaldi"},
    {"Vivaldi Snapshot", "vivaldi-snapshot", nullptr},
    {"Opera", "opera", "com.opera.Opera"},
    {"Opera Beta", "opera-beta", nullptr},
    {"Opera Developer", "opera-developer", nullptr},
    {"Yandex", "yandex-browser", "ru.yandex.Browser"},
    {"Yandex Beta", "yandex-browser-beta", nullptr},
    {"Chromium (snap)", nullptr, nullptr},  // ~/snap/chromium/common/chromium, below
}};

// Where the browsers keep their profiles on Windows: the Chromium family under %LOCALAPPDATA%
// (the folder holding "Local State"), Opera under %APPDATA% (its profile is that folder itself,
// or its Default), Firefox and its kin under %APPDATA% (the folder holding profiles.ini).
struct WindowsHome {
  const char* browser;
  bool local;          // under %LOCALAPPDATA%, else %APPDATA%
  bool firefoxLayout;  // profiles.ini, else Local State
  const char* folder;
};

constexpr std::array<WindowsHome, 22> kWindowsHomes = {{
    {"Firefox", false, true, "Mozilla/Firefox"},
    {"LibreWolf", false, true, "librewolf"},
    {"Waterfox", false, true, "Waterfox"},
    {"Floorp", false, true, "Floorp"},
    {"Chromium", true, false, "Chromium/User Data"},
    {"Google Chrome", true, false, "Google/Chrome/User Data"},
    {"Google Chrome Beta", true, false, "Google/Chrome Beta/User Data"},
    {"Google Chrome Dev", true, false, "Google/Chrome Dev/User Data"},
    {"Google Chrome Canary", true, false, "Google/Chrome SxS/User Data"},
    {"Microsoft Edge", true, false, "Microsoft/Edge/User Data"},
    {"Microsoft Edge Beta", true, false, "Microsoft/Edge Beta/User Data"},
    {"Microsoft Edge Dev", true, false, "Microsoft/Edge Dev/User Data"},
    {"Microsoft Edge Canary", true, false, "Microsoft/Edge SxS/User Data"},
    {"Brave", true, false, "BraveSoftware/Brave-Browser/User Data"},
    {"Brave Beta", true, false, "BraveSoftware/Brave-Browser-Beta/User Data"},
    {"Brave Nightly", true, false, "BraveSoftware/Brave-Browser-Nightly/User Data"},
    {"Vivaldi", true, false, "Vivaldi/User Data"},
    {"Yandex", true, false, "Yandex/YandexBrowser/User Data"},
    {"Yandex Beta", true, false, "Yandex/YandexBrowserBeta/User Data"},
    {"Opera", false, false, "Opera Software/Opera Stable"},
    {"Opera GX", false, false, "Opera Software/Opera GX Stable"},
    {"Opera Beta", false, false, "Opera Software/Opera Next"},
}};

bool isThere(const fs::path& path) {
  std::error_code error;
  return base::fileStatus(path, error).has_value();
}

// Why a profile folder cannot be read, or empty when it can be listed.
std::string folderProblem(const fs::path& folder) {
  std::error_code error;
  const std::optional<base::FileStatus> status = base::fileStatus(folder, error);
  if (!status) return error == std::errc::no_such_file_or_directory ? "папки профиля нет" : base::systemReason(error);
  if (status->kind != base::FileKind::Folder) return "не папка";
  if (!base::OpenFolder::open(folder, error)) return base::systemReason(error);
  return {};
}

// Completes a profile: its bookmark file when there is one, or what keeps it from being read.
void settle(BrowserProfile& profile, const char* fileName) {
  profile.problem = folderProblem(profile.folder);
  if (!profile.problem.empty()) return;
  const fs::path file = profile.folder / fileName;
  std::error_code error;
  const std::optional<base::FileStatus> status = base::fileStatus(file, error);
  if (!status) {
    if (error != std::errc::no_such_file_or_directory) profile.problem = base::systemReason(error);
    return;  // a profile not used yet: nothing to read
  }
  profile.bookmarks = file;
  // A store that is there but is no file (a folder, a pipe) cannot be read: the profile is
  // named with the reason, never read as something else or waited on.
  if (status->kind != base::FileKind::Regular) {
    profile.problem = base::textOf(file) + ": " + (status->kind == base::FileKind::Folder ? "папка, а не файл" : "не обычный файл");
    return;
  }
  if (const std::error_code unreadable = base::canRead(file)) profile.problem = base::systemReason(unreadable);
}

// A small file of the browser's own read whole, never waiting on it: what is not a regular
// file is refused without a byte read. Nothing when it is not there; otherwise the bytes or
// why they cannot be had.
struct SmallFile {
  bool present = false;
  std::string bytes;
  std::string problem;
};
SmallFile readBrowserFile(const fs::path& file) {
  constexpr std::size_t kLimit = std::size_t{64} << 20;
  base::FileRead read = base::readFile(file, kLimit);
  if (read.problem == base::ReadProblem::Unreadable && read.error == std::errc::no_such_file_or_directory) return {};
  if (!read) return {true, {}, base::textOf(file) + ": " + read.reason()};
  return {true, std::move(read.bytes), {}};
}

// A file of the browser's own that could not be read, named in the list of profiles.
BrowserProfile unreadableFile(const std::string& browser, const char* name, const fs::path& folder,
                              std::string problem) {
  BrowserProfile unreadable;
  unreadable.browser = browser;
  unreadable.name = name;
  unreadable.folder = folder;
  unreadable.problem = std::move(problem);
  return unreadable;
}

// The profiles profiles.ini lists in folder: every [ProfileN] with its Path, relative to the
// folder unless IsRelative=0. The [Install...] sections only say which one is the default.
void findFirefoxProfiles(const char* browser, const fs::path& folder, std::vector<BrowserProfile>& found) {
  const fs::path ini = folder / "profiles.ini";
  const SmallFile read = readBrowserFile(ini);
  if (!read.present) return;
  std::string problem = read.problem;
  std::optional<KeyFile> file;
  if (problem.empty()) {
    file = KeyFile::read(read.bytes, problem);
    if (!file) problem = base::textOf(ini) + ": " + problem;
  }
  if (!file) {
    found.push_back(unreadableFile(browser, "profiles.ini", folder, std::move(problem)));
    return;
  }
  std::set<std::string> installDefaults;
  for (const KeyFile::Group& group : file->groups()) {
    if (group.name.starts_with("Install")) {
      const std::string path = file->value(group.name, "Default");
      if (!path.empty()) installDefaults.insert(path);
    }
  }
  for (const KeyFile::Group& group : file->groups()) {
    const std::string_view name = group.name;
    if (!name.starts_with("Profile") || name.size() == 7 ||
        name.substr(7).find_first_not_of("0123456789") != std::string_view::npos) {
      continue;
    }
    const std::string path = file->value(name, "Path");
    if (path.empty()) continue;
    const std::string relative = file->value(name, "IsRelative");
    BrowserProfile profile;
    profile.browser = browser;
    profile.name = file->value(name, "Name");
    // In the system's own separators (Firefox writes "/" on Windows too).
    profile.folder = (relative == "0" ? base::pathOf(path) : folder / base::pathOf(path)).make_preferred();
    if (profile.name.empty()) profile.name = base::textOf(profile.folder.filename());
    profile.isDefault = installDefaults.empty() ? file->value(name, "Default") == "1" : installDefaults.contains(path);
    settle(profile, "places.sqlite");
    found.push_back(std::move(profile));
  }
}

// The profiles a Chromium-family browser's Local State lists (profile.info_cache: the folder's
// name, and the name the user gave it). A browser that keeps its one profile in the folder
// itself, or whose Local State says nothing, gets what the folder holds.
void findChromiumProfiles(const std::string& browser, const fs::path& folder, std::vector<BrowserProfile>& found) {
  if (!base::isFolder(folder)) return;
  const auto add = [&](const fs::path& profileFolder, std::string name) {
    BrowserProfile profile;
    profile.browser = browser;
    profile.name = std::move(name);
    profile.folder = profileFolder;
    settle(profile, "Bookmarks");
    found.push_back(std::move(profile));
  };
  const SmallFile localState = readBrowserFile(folder / "Local State");
  bool listed = false;  // profiles found through Local State
  if (!localState.problem.empty()) {
    found.push_back(unreadableFile(browser, "Local State", folder, localState.problem));
  } else if (localState.present) {
    const nlohmann::json state = nlohmann::json::parse(localState.bytes, nullptr, false);
    const nlohmann::json* cache = nullptr;
    if (state.is_object() && state.contains("profile") && state["profile"].is_object()) {
      const nlohmann::json& profile = state["profile"];
      if (profile.contains("info_cache") && profile["info_cache"].is_object()) cache = &profile["info_cache"];
    }
    std::string lastUsed;
    if (cache != nullptr) {
      const nlohmann::json& profile = state["profile"];
      if (profile.contains("last_used") && profile["last_used"].is_string()) lastUsed = profile["last_used"];
      for (const auto& [folderName, entry] : cache->items()) {
        // A folder name is one name: nothing that climbs out of the browser's folder.
        if (folderName.empty() || folderName == "." || folderName == ".." ||
            folderName.find_first_of("/\\:") != std::string::npos)
          continue;
        std::string name = entry.is_object() && entry.contains("name") && entry["name"].is_string()
                               ? entry["name"].get<std::string>()
                               : std::string();
        add(folder / base::pathOf(folderName), name.empty() ? folderName : name);
        found.back().isDefault = folderName == (lastUsed.empty() ? "Default" : lastUsed);
        listed = true;
      }
    }
  }
  if (!listed) {
    const std::size_t before = found.size();
    if (base::isFolder(folder / "Default")) add(folder / "Default", "Default");
    else if (isThere(folder / "Bookmarks")) add(folder, browser);
    if (found.size() > before) found.back().isDefault = true;
  }
}

// A profile that is not the same folder as one found before.
fs::path identity(const fs::path& folder) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(folder, error);
  return error ? folder.lexically_normal() : canonical;
}

}  // namespace

UserHome UserHome::fromEnvironment() {
  UserHome home;
  // A folder variable counts only when it holds an absolute path.
  const auto folderOf = [](const char* variable) {
    const fs::path folder = base::pathOf(base::environmentVariable(variable).value_or(std::string()));
    return folder.is_absolute() ? folder : fs::path();
  };
#ifdef _WIN32
  home.localAppData = folderOf("LOCALAPPDATA");
  home.appData = folderOf("APPDATA");
#else
  home.home = base::pathOf(base::environmentVariable("HOME").value_or(std::string()));
  const fs::path config = folderOf("XDG_CONFIG_HOME");
  home.config = !config.empty() ? config : home.home / ".config";
#endif
  return home;
}

std::string BrowserProfile::label() const { return browser + " \u00AB" + name + "\u00BB"; }

std::vector<BrowserProfile> findBrowserProfiles(const UserHome& home) {
  std::vector<BrowserProfile> found;
  if (!home.home.empty()) {
    for (const FirefoxHome& place : kFirefoxHomes) {
      const fs::path folder = (place.base == Base::Home ? home.home : home.config) / place.folder;
      findFirefoxProfiles(place.browser, folder, found);
    }
  }
  for (const ChromiumHome& place : kChromiumHomes) {
    if (home.config.empty()) break;
    if (place.folder == nullptr) {
      if (!home.home.empty()) findChromiumProfiles(place.browser, home.home / "snap/chromium/common/chromium", found);
      continue;
    }
    findChromiumProfiles(place.browser, home.config / place.folder, found);
    if (place.flatpak != nullptr && !home.home.empty()) {
      findChromiumProfiles(std::string(place.browser) + " (flatpak)",
                           home.home / ".var/app" / place.flatpak / "config" / place.folder, found);
    }
  }
  for (const WindowsHome& place : kWindowsHomes) {
    const fs::path& base = place.local ? home.localAppData : home.appData;
    if (base.empty()) continue;
    const fs::path folder = (base / place.folder).make_preferred();
    if (place.firefoxLayout) findFirefoxProfiles(place.browser, folder, found);
    else findChromiumProfiles(place.browser, folder, found);
  }
  // The same folder reached twice (a link from one home to another) is one profile.
  std::set<fs::path> seen;
  std::vector<BrowserProfile> unique;
  for (BrowserProfile& profile : found) {
    if (seen.insert(identity(profile.folder / (profile.bookmarks.empty() ? "" : profile.bookmarks.filename())))
            .second) {
      unique.push_back(std::move(profile));
    }
  }
  return unique;
}

std::int64_t countBookmarks(const fs::path& file) {
  class Counter : public BookmarkSink {
   public:
    void beginFolder(std::string_view) override {}
    void endFolder() override {}
    void bookmark(std::string_view, std::string_view) override { ++count; }
    void skipped(std::string_view, std::string_view) override {}
    void passedOver() override {}
    std::int64_t count = 0;
  } counter;
  readBookmarkInput(file, counter);
  return counter.count;
}

}  // namespace trevanto::import

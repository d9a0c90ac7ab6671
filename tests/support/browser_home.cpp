// SPDX-License-Identifier: MIT
#include "support/browser_home.h"

#include <sqlite3.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <map>
#include <stdexcept>

#include "base/path_text.h"
#include "support/files.h"

namespace trevanto::testing {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

void exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error != nullptr ? error : "sqlite failed";
    sqlite3_free(error);
    throw std::runtime_error(message);
  }
}

// Adds an item to a JSON list being written, after a comma when it is not the first.
void appendListed(std::string& list, const std::string& item) {
  if (!list.empty()) list += ',';
  list += item;
}

// Chromium's date_added: microseconds since 1601-01-01.
constexpr std::int64_t kChromiumEpochOffset = 11644473600;

}  // namespace

void writePlaces(const fs::path& file, const std::vector<FakeBookmark>& bookmarks) {
  fs::create_directories(file.parent_path());
  fs::remove(file);
  sqlite3* db = nullptr;
  if (sqlite3_open(base::textOf(file).c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create " + base::textOf(file));
  try {
    exec(db,
         "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, rev_host LONGVARCHAR,"
         " visit_count INTEGER DEFAULT 0, guid TEXT);"
         "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER,"
         " position INTEGER, title LONGVARCHAR, keyword_id INTEGER, dateAdded INTEGER, lastModified INTEGER,"
         " guid TEXT);"
         "BEGIN;"
         "INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES"
         " (1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'),"
         " (3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', 'tags________'),"
         " (5, 2, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, 1, 4, 'mobile', 'mobile______');");
    std::map<std::string, std::int64_t> folders;
    std::map<std::int64_t, std::int64_t> positions;
    std::int64_t next = 100;
    for (const FakeBookmark& bookmark : bookmarks) {
      std::int64_t parent = 3;
      if (!bookmark.folder.empty()) {
        auto [found, added] = folders.emplace(bookmark.folder, next);
        if (added) {
          exec(db, "INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES (" +
                       std::to_string(next) + ", 2, 3, " + std::to_string(positions[3]++) + ", " +
                       quoted(bookmark.folder) + ", 'folder" + std::to_string(next) + "');");
          ++next;
        }
        parent = found->second;
      }
      const std::string id = std::to_string(next++);
      exec(db, "INSERT INTO moz_places (id, url) VALUES (" + id + ", " + quoted(bookmark.address) + ");" +
                   "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, dateAdded, guid) VALUES (" + id +
                   ", 1, " + id + ", " + std::to_string(parent) + ", " + std::to_string(positions[parent]++) + ", " +
                   quoted(bookmark.title) + ", " + std::to_string(bookmark.added * 1000000) + ", 'bm" + id + "');");
    }
    exec(db, "COMMIT;");
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  sqlite3_close(db);
}

void writeChromiumBookmarks(const fs::path& file, const std::vector<FakeBookmark>& bookmarks) {
  // Folders in order of first appearance, each with its bookmarks; loose ones on the bar.
  std::vector<std::pair<std::string, std::string>> folders;
  std::string loose;
  int id = 10;
  for (const FakeBookmark& bookmark : bookmarks) {
    const std::string added =
        bookmark.added != 0 ? std::to_string((bookmark.added + kChromiumEpochOffset) * 1000000) : "0";
    const std::string node = "{\"date_added\":\"" + added + "\",\"guid\":\"g" + std::to_string(id) + "\",\"id\":\"" +
                             std::to_string(id) + "\",\"name\":" + jsonString(bookmark.title) +
                             ",\"type\":\"url\",\"url\":" + jsonString(bookmark.address) + "}";
    ++id;
    if (bookmark.folder.empty()) {
      appendListed(loose, node);
      continue;
    }
    auto found = std::find_if(folders.begin(), folders.end(), [&](const auto& f) { return f.first == bookmark.folder; });
    if (found == folders.end()) found = folders.insert(folders.end(), {bookmark.folder, ""});
    appendListed(found->second, node);
  }
  std::string bar;
  for (const auto& [name, children] : folders) {
    appendListed(bar, std::string("{\"children\":[") + children + "],\"id\":\"" +
           std::to_string(id++) + "\",\"name\":" + jsonString(name) + ",\"type\":\"folder\"}");
  }
  if (!loose.empty()) appendListed(bar, loose);
  writeFile(file, "{\"checksum\":\"0\",\"roots\":{\"bookmark_bar\":{\"children\":[" + bar +
                      "],\"id\":\"1\",\"name\":\"Bookmarks bar\",\"type\":\"folder\"},"
                      "\"other\":{\"children\":[],\"id\":\"2\",\"name\":\"Other bookmarks\",\"type\":\"folder\"},"
                      "\"synced\":{\"children\":[],\"id\":\"3\",\"name\":\"Mobile bookmarks\",\"type\":\"folder\"}},"
                      "\"version\":1}\n");
}

void writeLocalState(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& folderAndName) {
  std::string cache;
  for (const auto& [folder, name] : folderAndName) {
    appendListed(cache, jsonString(folder) + ":{\"active_time\":1.7e9,\"name\":" + jsonString(name) +
             ",\"is_using_default_name\":false}");
  }
  writeFile(file, "{\"browser\":{\"enabled_labs_experiments\":[]},\"profile\":{\"info_cache\":{" + cache +
                      "},\"last_used\":\"Default\",\"profiles_created\":3}}");
}

namespace {

// n bookmarks tagged, every other one in a folder; bookmark i saved on day i of 2010.
std::vector<FakeBookmark> taggedBookmarks(const std::string& tag, int n) {
  std::vector<FakeBookmark> list;
  for (int i = 0; i < n; ++i) {
    list.push_back({i % 2 == 0 ? "Новости " + tag : "", tag + " " + std::to_string(i),
                    "https://" + tag + ".example.com/" + std::to_string(i), 1262304000 + i * 86400});
  }
  return list;
}

}  // namespace

FakeWindowsHome::FakeWindowsHome(const fs::path& root) : localAppData(root / "Local"), appData(root / "Roaming") {
  const auto add = [&](const std::string& browser, const std::string& name, const fs::path& folder, const char* file,
                       int n) {
    const std::string tag = browser.substr(0, browser.find(' ')) + "-" + std::to_string(profiles.size());
    if (std::string_view(file) == "places.sqlite") writePlaces(folder / file, taggedBookmarks(tag, n));
    else writeChromiumBookmarks(folder / file, taggedBookmarks(tag, n));
    profiles.push_back({browser, name, folder, folder / file, n, true});
    bookmarkCount += n;
  };
  const fs::path chrome = localAppData / "Google/Chrome/User Data";
  writeLocalState(chrome / "Local State", {{"Default", "Person 1"}, {"Profile 2", "Работа"}});
  add("Google Chrome", "Person 1", chrome / "Default", "Bookmarks", 3);
  add("Google Chrome", "Работа", chrome / "Profile 2", "Bookmarks", 2);
  add("Microsoft Edge", "Default", localAppData / "Microsoft/Edge/User Data/Default", "Bookmarks", 2);
  add("Brave", "Default", localAppData / "BraveSoftware/Brave-Browser/User Data/Default", "Bookmarks", 1);
  add("Vivaldi", "Default", localAppData / "Vivaldi/User Data/Default", "Bookmarks", 1);
  add("Yandex", "Default", localAppData / "Yandex/YandexBrowser/User Data/Default", "Bookmarks", 2);
  add("Opera", "Opera", appData / "Opera Software/Opera Stable", "Bookmarks", 2);

  const fs::path firefox = appData / "Mozilla/Firefox";
  std::string ini =
      "[Install308046B0AF4A39CB]\r\nDefault=Profiles/абв.default-release\r\nLocked=1\r\n\r\n"
      "[Profile1]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/xyz.default\r\nDefault=1\r\n\r\n"
      "[Profile0]\r\nName=Личный\r\nIsRelative=1\r\nPath=Profiles/абв.default-release\r\n\r\n";
  fs::create_directories(firefox / "Profiles/xyz.default");  // never used: no places.sqlite
  profiles.push_back({"Firefox", "default", firefox / "Profiles/xyz.default", {}, 0, true});
  add("Firefox", "Личный", firefox / base::pathOf("Profiles/абв.default-release"), "places.sqlite", 4);
#ifdef _WIN32
  const fs::path elsewhere = (root / "Elsewhere/work profile").make_preferred();
  ini += "[Profile2]\r\nName=work\r\nIsRelative=0\r\nPath=" + base::textOf(elsewhere) + "\r\n\r\n";
  add("Firefox", "work", elsewhere, "places.sqlite", 2);
#endif
  writeFile(firefox / "profiles.ini", ini + "[General]\r\nStartWithLastProfile=1\r\nVersion=2\r\n");
}

#ifndef _WIN32
FakeHome::FakeHome(const fs::path& root) : home(root / "home"), config(root / "config") {
  const auto bookmarks = taggedBookmarks;
  const auto firefox = [&](const std::string& browser, const std::string& name, const fs::path& folder, int n) {
    writePlaces(folder / "places.sqlite", bookmarks(name, n));
    profiles.push_back({browser, name, folder, folder / "places.sqlite", n, true});
  };
  const auto chromium = [&](const std::string& browser, const std::string& name, const fs::path& folder, int n) {
    writeChromiumBookmarks(folder / "Bookmarks", bookmarks(name, n));
    profiles.push_back({browser, name, folder, folder / "Bookmarks", n, true});
  };

  // Firefox: the default in [Install...], a relative and an absolute path, a folder gone.
  const fs::path mozilla = home / ".mozilla/firefox";
  writeFile(mozilla / "profiles.ini",
            "[Install4F96D1932A9F858E]\nDefault=Profiles/abc.default-release\nLocked=1\n\n"
            "[Profile1]\nName=default\nIsRelative=1\nPath=Profiles/xyz.default\nDefault=1\n\n"
            "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/abc.default-release\n\n"
            "[Profile2]\nName=work\nIsRelative=0\nPath=" + (root / "elsewhere/work profile").string() + "\n\n"
            "[Profile3]\nName=locked\nIsRelative=1\nPath=locked.profile\n\n"
            "[General]\nStartWithLastProfile=1\nVersion=2\n");
  fs::create_directories(mozilla / "Profiles/xyz.default");  // a profile never used: no places.sqlite
  profiles.push_back({"Firefox", "default", mozilla / "Profiles/xyz.default", {}, 0, true});
  firefox("Firefox", "default-release", mozilla / "Profiles/abc.default-release", 5);
  firefox("Firefox", "work", root / "elsewhere/work profile", 3);
  firefox("Firefox", "locked", mozilla / "locked.profile", 2);
  fs::permissions(mozilla / "locked.profile", fs::perms::none);
  lockedFolderUnreadable = ::geteuid() != 0;
  if (lockedFolderUnreadable) {
    profiles.back().readable = false;
    profiles.back().bookmarks.clear();
  }
  // A profiles.ini that names a folder that is gone, in the newer Firefox's home.
  writeFile(config / "mozilla/firefox/profiles.ini",
            "[Profile0]\nName=xdg\nIsRelative=1\nPath=xdg.default\n\n"
            "[Profile1]\nName=gone\nIsRelative=1\nPath=gone.default\n");
  firefox("Firefox", "xdg", config / "mozilla/firefox/xdg.default", 2);
  profiles.push_back({"Firefox", "gone", config / "mozilla/firefox/gone.default", {}, 0, false});
  // Snap, flatpak and a fork.
  writeFile(home / "snap/firefox/common/.mozilla/firefox/profiles.ini", "[Profile0]\nName=snap\nPath=snap.default\n");
  firefox("Firefox (snap)", "snap", home / "snap/firefox/common/.mozilla/firefox/snap.default", 1);
  writeFile(home / ".var/app/org.mozilla.firefox/.mozilla/firefox/profiles.ini",
            "[Profile0]\nName=flat\nIsRelative=1\nPath=flat.default\nDefault=1\n");
  firefox("Firefox (flatpak)", "flat", home / ".var/app/org.mozilla.firefox/.mozilla/firefox/flat.default", 2);
  writeFile(home / ".librewolf/profiles.ini", "[Profile0]\nName=wolf\nIsRelative=1\nPath=wolf.default\n");
  firefox("LibreWolf", "wolf", home / ".librewolf/wolf.default", 1);

  // Google Chrome: three profiles, one Bookmarks file broken.
  const fs::path chrome = config / "google-chrome";
  writeLocalState(chrome / "Local State", {{"Default", "Person 1"}, {"Profile 1", "Работа"}, {"Profile 3", "broken"}});
  chromium("Google Chrome", "Person 1", chrome / "Default", 4);
  chromium("Google Chrome", "Работа", chrome / "Profile 1", 3);
  writeFile(chrome / "Profile 3/Bookmarks", "{\"roots\": {\"bookmark_bar\": {\"children\": [");
  profiles.push_back({"Google Chrome", "broken", chrome / "Profile 3", chrome / "Profile 3/Bookmarks", 0, false});
  // Chromium's snap, without a Local State; Brave's flatpak.
  chromium("Chromium (snap)", "Default", home / "snap/chromium/common/chromium/Default", 2);
  const fs::path brave = home / ".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser";
  writeLocalState(brave / "Local State", {{"Default", "Лев"}});
  chromium("Brave (flatpak)", "Лев", brave / "Default", 2);

  // Under ~/.config, which XDG_CONFIG_HOME replaces: not to be found.
  writeChromiumBookmarks(home / ".config/chromium/Default/Bookmarks", bookmarks("decoy", 1));
  writeLocalState(home / ".config/chromium/Local State", {{"Default", "decoy"}});
}

#endif

}  // namespace trevanto::testing

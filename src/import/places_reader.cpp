// SPDX-License-Identifier: MIT
#include "places_reader.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/file_error.h"
#include "base/path_text.h"
#include "base/private_folder.h"
#include "formats.h"
#include "tree_walk.h"

namespace trevanto::import {
namespace {

namespace fs = std::filesystem;

// The private copies of a places database: "trevanto-import-PID-XXXXXX" under the temporary folder.
constexpr std::string_view kPrivateFolderPrefix = "trevanto-import-";

constexpr int kBookmark = 1;
constexpr int kFolder = 2;

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

class Database {
 public:
  // The handle is owned from the moment sqlite gives it, so that a failed open closes it too.
  Database(const fs::path& path, const fs::path& shownAs) : shownAs_(shownAs) {
    sqlite3* opened = nullptr;
    const int status = sqlite3_open_v2(base::textOf(path).c_str(), &opened, SQLITE_OPEN_READONLY, nullptr);
    db_.reset(opened);
    if (status != SQLITE_OK) fail();
  }

  // Runs a query, calling row for every row; the statement is finalized on every path, a
  // row callback that throws included.
  template <typename Row>
  void query(const std::string& sql, Row row) {
    sqlite3_stmt* prepared = nullptr;
    const int prepareStatus = sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &prepared, nullptr);
    const std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement(prepared);
    if (prepareStatus != SQLITE_OK) fail();
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(statement.get())) == SQLITE_ROW) row(statement.get());
    if (status != SQLITE_DONE) fail();
  }

  bool hasTable(const std::string& name) {
    bool found = false;
    query("SELECT 1 FROM sqlite_master WHERE type='table' AND name='" + name + "'",
          [&](sqlite3_stmt*) { found = true; });
    return found;
  }

  bool hasColumn(const std::string& table, const std::string& column) {
    bool found = false;
    query("PRAGMA table_info(" + table + ")", [&](sqlite3_stmt* row) { found = found || text(row, 1) == column; });
    return found;
  }

  std::optional<std::int64_t> folderId(const std::string& sql) {
    std::optional<std::int64_t> id;
    query(sql, [&](sqlite3_stmt* row) {
      if (!id) id = sqlite3_column_int64(row, 0);
    });
    return id;
  }

  static std::string text(sqlite3_stmt* row, int column) {
    const unsigned char* value = sqlite3_column_text(row, column);
    return value != nullptr ? std::string(reinterpret_cast<const char*>(value),
                                          static_cast<std::size_t>(sqlite3_column_bytes(row, column)))
                            : std::string();
  }

 private:
  [[noreturn]] void fail() {
    throw base::FileError("Не удалось прочитать базу закладок", shownAs_,
                          db_ != nullptr ? sqlite3_errmsg(db_.get()) : "sqlite не открыл файл");
  }

  std::unique_ptr<sqlite3, DatabaseCloser> db_;
  fs::path shownAs_;
};

struct Entry {
  std::int64_t id = 0;
  std::int64_t parent = 0;
  int type = 0;
  std::string title;
  std::string url;
  std::int64_t added = 0;  // seconds since 1970
  bool visited = false;
};

void copyInto(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  if (error) throw base::FileError("Не удалось прочитать базу закладок", from, error.message());
}

// The database copied into the private folder, with its "-wal" beside it when there is one.
fs::path copyDatabase(const fs::path& path, const base::PrivateFolder& folder) {
  const fs::path database = folder.path() / "places.sqlite";
  copyInto(path, database);
  fs::path wal = path;
  wal += "-wal";
  fs::path walCopy = database;
  walCopy += "-wal";
  if (std::error_code ignored; fs::is_regular_file(wal, ignored)) copyInto(wal, walCopy);
  return database;
}

struct Roots {
  std::optional<std::int64_t> root;
  std::optional<std::int64_t> tags;  // its entries repeat bookmarks
};

// The root and the tags root: by guid, or in old files as moz_bookmarks_roots names them, or
// else the first folder without a parent.
Roots findRoots(Database& db) {
  Roots roots;
  if (db.hasColumn("moz_bookmarks", "guid")) {
    roots.root = db.folderId("SELECT id FROM moz_bookmarks WHERE guid='root________'");
    roots.tags = db.folderId("SELECT id FROM moz_bookmarks WHERE guid='tags________'");
  }
  if (!roots.root && db.hasTable("moz_bookmarks_roots")) {
    roots.root = db.folderId("SELECT folder_id FROM moz_bookmarks_roots WHERE root_name='places'");
    roots.tags = db.folderId("SELECT folder_id FROM moz_bookmarks_roots WHERE root_name='tags'");
  }
  if (!roots.root)
    roots.root = db.folderId("SELECT id FROM moz_bookmarks WHERE parent=0 AND type=2 ORDER BY id LIMIT 1");
  return roots;
}

// Every entry of moz_bookmarks with its address, by parent in position order.
std::vector<Entry> readEntries(Database& db) {
  std::vector<Entry> entries;
  db.query(
      // dateAdded: microseconds since 1970.
      std::string("SELECT b.id, b.parent, b.type, b.title, p.url, ") +
          (db.hasColumn("moz_bookmarks", "dateAdded") ? "b.dateAdded" : "0") +
          " FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk ORDER BY b.parent, b.position, b.id",
      [&](sqlite3_stmt* row) {
        entries.push_back({sqlite3_column_int64(row, 0), sqlite3_column_int64(row, 1), sqlite3_column_int(row, 2),
                           Database::text(row, 3), Database::text(row, 4), sqlite3_column_int64(row, 5) / 1'000'000});
      });
  return entries;
}

// The entries as a tree of folders. Each entry is visited once: what the tags hold, a loop in the
// folder chain and an entry reached twice are passed over.
class PlacesTree {
 public:
  explicit PlacesTree(std::vector<Entry> entries) : entries_(std::move(entries)) {
    for (std::size_t i = 0; i < entries_.size(); ++i) children_[entries_[i].parent].push_back(i);
    for (std::size_t i = 0; i < entries_.size(); ++i) byId_.emplace(entries_[i].id, i);
  }

  // The tags root and everything under it are passed over.
  void passOver(std::int64_t top) {
    markVisited(top);
    std::vector<std::int64_t> pending{top};
    while (!pending.empty()) {
      const std::vector<std::size_t>& below = childrenOf(pending.back());
      pending.pop_back();
      for (std::size_t i : below) {
        if (entries_[i].visited) continue;
        entries_[i].visited = true;
        if (entries_[i].type == kFolder) pending.push_back(entries_[i].id);
      }
    }
  }

  // From the root down, in position order. The root's own children (level 0) are the
  // containers, reported as no folder.
  void readFrom(std::int64_t root, BookmarkSink& sink) {
    markVisited(root);
    walkTree(
        &childrenOf(root),
        [&](std::size_t index, std::size_t level) -> std::optional<const std::vector<std::size_t>*> {
          Entry& entry = entries_[index];
          if (entry.visited) return std::nullopt;  // the tags, or a loop in the folder chain
          entry.visited = true;
          if (entry.type == kBookmark) sink.datedBookmark(entry.title, entry.url, entry.added);
          if (entry.type != kFolder) return std::nullopt;
          if (level > 0) sink.beginFolder(entry.title);
          return &childrenOf(entry.id);
        },
        [&sink](std::size_t level) {
          if (level > 1) sink.endFolder();
        });
  }

  // Bookmarks whose folder chain never reaches the root go to the top level.
  void readUnreached(BookmarkSink& sink) {
    for (Entry& entry : entries_) {
      if (!entry.visited && entry.type == kBookmark) {
        entry.visited = true;
        sink.datedBookmark(entry.title, entry.url, entry.added);
      }
    }
  }

 private:
  void markVisited(std::int64_t id) {
    if (const auto self = byId_.find(id); self != byId_.end()) entries_[self->second].visited = true;
  }

  const std::vector<std::size_t>& childrenOf(std::int64_t id) const {
    static const std::vector<std::size_t> kNone;
    const auto found = children_.find(id);
    return found != children_.end() ? found->second : kNone;
  }

  std::vector<Entry> entries_;
  std::unordered_map<std::int64_t, std::vector<std::size_t>> children_;  // in position order
  std::unordered_map<std::int64_t, std::size_t> byId_;
};

}  // namespace

void readPlacesDatabase(const fs::path& path, BookmarkSink& sink) {
  const base::PrivateFolder copy(kPrivateFolderPrefix,
                                 {"places.sqlite", "places.sqlite-wal", "places.sqlite-shm", "places.sqlite-journal"});
  Database db(copyDatabase(path, copy), path);
  if (!db.hasTable("moz_bookmarks") || !db.hasTable("moz_places"))
    throw base::FileError("Неизвестный вид закладок", path, "база SQLite без таблиц закладок Firefox");
  const Roots roots = findRoots(db);
  PlacesTree tree(readEntries(db));
  if (roots.tags) tree.passOver(*roots.tags);
  if (roots.root) tree.readFrom(*roots.root, sink);
  tree.readUnreached(sink);
}

namespace {

class PlacesReader : public Reader {
 public:
  std::string_view name() const override { return "places.sqlite"; }
  bool recognises(std::string_view head) const override {
    return head.starts_with(std::string_view("SQLite format 3\0", 16));
  }
  void read(const std::filesystem::path& file, BookmarkSink& sink) const override { readPlacesDatabase(file, sink); }
};

}  // namespace

std::unique_ptr<Reader> makePlacesReader() { return std::make_unique<PlacesReader>(); }

}  // namespace trevanto::import

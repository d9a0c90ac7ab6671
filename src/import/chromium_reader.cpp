// SPDX-License-Identifier: MIT
// The "Bookmarks" file of a Chromium-family browser's profile: JSON with the roots
// "bookmark_bar", "other" and "synced", each a folder of "url" and "folder" nodes. Other roots
// (a "trash" kept by some browsers) are not imported.
#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "base/file_error.h"
#include "export_file.h"
#include "formats.h"
#include "tree_walk.h"

namespace trevanto::import {
namespace {

using Json = nlohmann::json;

constexpr std::array<std::string_view, 3> kRoots = {"bookmark_bar", "other", "synced"};

std::string_view stringOf(const Json& node, const char* key) {
  const auto found = node.find(key);
  if (found == node.end() || !found->is_string()) return {};
  return found->get_ref<const std::string&>();
}

// A separator some browsers keep as a node of its own.
bool isSeparator(const Json& node) {
  if (stringOf(node, "type") == "separator") return true;
  const auto meta = node.find("meta_info");
  return meta != node.end() && meta->is_object() && stringOf(*meta, "Separator") == "true";
}

// When a bookmark was added: "date_added", microseconds since 1601 in decimal digits, as seconds
// since 1970; 0 when absent or not a number.
std::int64_t addedSeconds(const Json& node) {
  const std::string_view digits = stringOf(node, "date_added");
  if (digits.empty() || digits.size() > 18) return 0;
  std::int64_t microseconds = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    microseconds = microseconds * 10 + (c - '0');
  }
  constexpr std::int64_t kSeconds1601To1970 = 11'644'473'600;
  return microseconds / 1'000'000 - kSeconds1601To1970;
}

// Keys that matter; the rest (other dates, guids, icons, sync data) is dropped while parsing.
bool isWantedKey(const std::string& key) {
  static const std::array<std::string_view, 12> kWanted = {"roots",     "bookmark_bar", "other",   "synced",
                                                           "children",  "name",         "type",    "url",
                                                           "meta_info", "Separator",    "version", "date_added"};
  for (std::string_view wanted : kWanted) {
    if (key == wanted) return true;
  }
  return false;
}

}  // namespace

void readChromiumBookmarks(std::string_view bytes, BookmarkSink& sink) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  const Json document = Json::parse(
      bytes.begin(), bytes.end(),
      [](int, Json::parse_event_t event, Json& parsed) {
        return event != Json::parse_event_t::key || isWantedKey(parsed.get_ref<const std::string&>());
      },
      false);
  if (document.is_discarded()) throw FormatError("не файл закладок: не читается как JSON");
  const auto roots = document.is_object() ? document.find("roots") : document.end();
  if (roots == document.end() || !roots->is_object())
    throw FormatError("не файл закладок Chromium: нет раздела \"roots\"");

  for (std::string_view rootName : kRoots) {
    const auto root = roots->find(std::string(rootName));
    if (root == roots->end() || !root->is_object()) continue;
    const auto children = root->find("children");
    if (children == root->end() || !children->is_array()) continue;
    walkTree(
        &*children,
        [&sink](const Json& node, std::size_t) -> std::optional<const Json*> {
          if (!node.is_object() || isSeparator(node)) return std::nullopt;
          const std::string_view type = stringOf(node, "type");
          if (type == "url") sink.datedBookmark(stringOf(node, "name"), stringOf(node, "url"), addedSeconds(node));
          if (type != "folder") return std::nullopt;
          sink.beginFolder(stringOf(node, "name"));
          const auto content = node.find("children");
          if (content != node.end() && content->is_array()) return &*content;
          sink.endFolder();
          return std::nullopt;
        },
        [&sink](std::size_t) { sink.endFolder(); });
  }
}

namespace {

class ChromiumReader : public Reader {
 public:
  std::string_view name() const override { return "Bookmarks"; }
  bool recognises(std::string_view head) const override {
    if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && head[first] == '{';
  }
  void read(const std::filesystem::path& file, BookmarkSink& sink) const override {
    const std::string bytes = readExportFile(file);
    try {
      readChromiumBookmarks(bytes, sink);
    } catch (const FormatError& notThis) {
      throw base::FileError("Неизвестный вид закладок", file, notThis.what());
    }
  }
};

}  // namespace

std::unique_ptr<Reader> makeChromiumReader() { return std::make_unique<ChromiumReader>(); }

}  // namespace trevanto::import

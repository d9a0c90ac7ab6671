// SPDX-License-Identifier: MIT
// Single link files (Internet shortcuts, freedesktop links, macOS .webloc property lists) and
// folders of them.
#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "base/charset.h"
#include "base/file_descriptor.h"
#include "base/file_error.h"
#include "base/folder_order.h"
#include "base/text.h"
#include "formats.h"
#include "places_reader.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"

namespace trevanto::import {
namespace {

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Calls line for each line (CR LF, CR or LF ends one) until it returns false.
template <typename Line>
void forEachLine(std::string_view text, Line line) {
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    if (!line(text.substr(0, end))) return;
    const bool crLf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
    text.remove_prefix(std::min(end + (crLf ? 2 : 1), text.size()));
  }
}

// The escapes of a freedesktop string value.
std::string unescapeDesktopValue(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out.push_back(value[i]);
      continue;
    }
    switch (value[++i]) {
      case 's':
        out.push_back(' ');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'r':
        out.push_back('\r');
        break;
      default:
        out.push_back(value[i]);
    }
  }
  return out;
}

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};

std::string titleFromPath(const std::filesystem::path& path) { return linkFileTitle(path.filename().string()); }

// A reader of one kind of link file behind the common interface: the file's title is its
// name, and it goes to the named section.
class LinkFileReader : public Reader {
 public:
  using Parse = LinkFile (*)(std::string_view);
  using Recognise = bool (*)(std::string_view);
  explicit LinkFileReader(Parse parse, Recognise recognise = nullptr) : parse_(parse), recognise_(recognise) {}
  bool recognises(std::string_view head) const override {
    return recognise_ != nullptr ? recognise_(head) : parse_(head).known;
  }
  void read(const std::filesystem::path& file, BookmarkSink& sink) const override {
    const site::ShortcutFile loaded = site::loadShortcutFile(file);
    if (loaded.problem == site::ShortcutFileProblem::Unreadable)
      throw base::FileError("Не удалось прочитать файл", file, loaded.reason);
    if (loaded.problem != site::ShortcutFileProblem::None)
      throw base::FileError("Не удалось прочитать файл", file, "не обычный файл или больше 1 МиБ");
    const LinkFile link = parse_(loaded.bytes);
    if (!link.known) throw base::FileError("Неизвестный вид закладок", file, "файл изменился во время чтения");
    sink.bookmark(titleFromPath(file), link.address);
  }

 private:
  Parse parse_;
  Recognise recognise_;
};

// A property list of any size; one that is no .webloc is of no known kind.
bool looksLikePropertyList(std::string_view head) {
  return head.starts_with("bplist00") || head.substr(0, 1024).find("<plist") != std::string_view::npos;
}

}  // namespace

LinkFile readInternetShortcut(std::string_view bytes) {
  LinkFile link;
  const std::string text = site::decodeShortcutText(bytes);
  forEachLine(text, [&](std::string_view line) {
    line = trimBlanks(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      const std::string_view name = trimBlanks(line.substr(1, line.size() - 2));
      link.known = base::equalsIgnoringAsciiCase(name, "InternetShortcut") ||
                   base::equalsIgnoringAsciiCase(name, "InternetShortcut.W");
    }
    return !link.known;
  });
  if (link.known) link.address = site::readShortcutAddress(bytes);
  return link;
}

LinkFile readDesktopEntry(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  bool inEntry = false;
  bool seenGroup = false;
  bool isLink = false;
  std::optional<std::string> url;
  forEachLine(bytes, [&](std::string_view line) {
    line = trimBlanks(line);
    if (line.empty() || line.front() == '#') return true;
    if (line.front() == '[') {
      if (seenGroup) return false;  // only the first group, [Desktop Entry], counts
      seenGroup = true;
      inEntry = line == "[Desktop Entry]";
      return inEntry;
    }
    if (!inEntry) return false;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return true;
    const std::string_view key = trimBlanks(line.substr(0, equals));
    const std::string_view value = trimBlanks(line.substr(equals + 1));
    if (key == "Type") isLink = value == "Link";
    // URL[$e]= is a path the shell expands, not an address.
    if (key == "URL" && !url) url = unescapeDesktopValue(value);
    return true;
  });
  LinkFile link;
  link.known = inEntry && isLink;
  if (link.known && url) link.address = base::fileNameToUtf8(*url);
  return link;
}

LinkFile readPropertyList(std::string_view bytes) {
  LinkFile link;
  if (!looksLikePropertyList(bytes) || bytes.size() > site::kMaxShortcutBytes) return link;
  plist_t parsed = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
  const std::unique_ptr<void, PlistFree> root(parsed);
  if (root == nullptr || plist_get_node_type(root.get()) != PLIST_DICT) return link;
  const plist_t url = plist_dict_get_item(root.get(), "URL");
  if (url == nullptr) return link;
  link.known = true;
  if (plist_get_node_type(url) == PLIST_STRING) {
    // By pointer and length: the library asserts on a string holding a NUL when copying it.
    std::uint64_t length = 0;
    const char* value = plist_get_string_ptr(url, &length);
    if (value != nullptr)
      link.address = base::fileNameToUtf8(std::string_view(value, static_cast<std::size_t>(length)));
  }
  return link;
}

LinkFile readLinkFile(std::string_view bytes) {
  for (auto parse : {readPropertyList, readInternetShortcut, readDesktopEntry}) {
    LinkFile link = parse(bytes);
    if (link.known) return link;
  }
  return {};
}

std::string linkFileTitle(std::string_view rawFileName) {
  const std::size_t dot = rawFileName.rfind('.');
  if (dot != std::string_view::npos && dot > 0) rawFileName = rawFileName.substr(0, dot);
  return base::fileNameToUtf8(rawFileName);
}

void readLinkFolder(const std::filesystem::path& top, BookmarkSink& sink) {
  // Each level: the entries of one folder and how far; folders below the top are reported.
  struct Level {
    std::filesystem::path folder;
    std::vector<base::FolderEntry> entries;
    std::size_t next = 0;
  };
  std::set<std::pair<dev_t, ino_t>> seen;  // folders linked into themselves are read once
  const auto firstVisit = [&seen](const std::filesystem::path& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && seen.emplace(info.st_dev, info.st_ino).second;
  };
  std::vector<Level> levels;
  firstVisit(top);
  levels.push_back({top, base::listFolder(top)});
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.entries.size()) {
      if (levels.size() > 1) sink.endFolder();
      levels.pop_back();
      continue;
    }
    const base::FolderEntry& entry = level.entries[level.next++];
    const std::filesystem::path path = base::joinPath(level.folder, entry.name);
    if (entry.isFolder) {
      if (!firstVisit(path)) continue;
      std::vector<base::FolderEntry> entries;
      try {
        entries = base::listFolder(path);
      } catch (const base::FileError& unreadable) {
        sink.skipped(base::fileNameToUtf8(entry.name), "папка не читается: " + unreadable.reason());
        continue;
      }
      sink.beginFolder(base::fileNameToUtf8(entry.name));
      levels.push_back({path, std::move(entries)});
      continue;
    }
    const site::ShortcutFile file = site::loadShortcutFile(path);
    if (file.problem == site::ShortcutFileProblem::Unreadable) {
      sink.skipped(linkFileTitle(entry.name), "не читается: " + file.reason);
      continue;
    }
    const LinkFile link = file.problem == site::ShortcutFileProblem::None ? readLinkFile(file.bytes) : LinkFile{};
    if (!link.known) {
      sink.passedOver();
      continue;
    }
    sink.bookmark(linkFileTitle(entry.name), link.address);
  }
}

namespace {

constexpr std::size_t kMaxExportBytes = std::size_t{1} << 30;

// An export file whole. Throws base::FileError naming it.
std::string readExport(const std::filesystem::path& file) {
  const base::FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd) throw base::FileError("Не удалось прочитать", file, base::systemReason(errno));
  base::ReadResult read = base::readUpTo(fd.get(), kMaxExportBytes + 1);
  if (read.error != 0) throw base::FileError("Не удалось прочитать", file, base::systemReason(read.error));
  if (read.bytes.size() > kMaxExportBytes) throw base::FileError("Не удалось прочитать", file, "файл больше 1 ГиБ");
  return std::move(read.bytes);
}

class NetscapeReader : public Reader {
 public:
  bool recognises(std::string_view head) const override {
    if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) return true;
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && head[first] == '<';
  }
  void read(const std::filesystem::path& file, BookmarkSink& sink) const override {
    try {
      readNetscapeBookmarks(readExport(file), sink);
    } catch (const FormatError& notThis) {
      throw base::FileError("Неизвестный вид закладок", file, notThis.what());
    }
  }
};

class ChromiumReader : public Reader {
 public:
  bool recognises(std::string_view head) const override {
    if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && head[first] == '{';
  }
  void read(const std::filesystem::path& file, BookmarkSink& sink) const override {
    const std::string bytes = readExport(file);
    try {
      readChromiumBookmarks(bytes, sink);
    } catch (const FormatError& notThis) {
      throw base::FileError("Неизвестный вид закладок", file, notThis.what());
    }
  }
};

class PlacesReader : public Reader {
 public:
  bool recognises(std::string_view head) const override {
    return head.starts_with(std::string_view("SQLite format 3\0", 16));
  }
  void read(const std::filesystem::path& file, BookmarkSink& sink) const override { readPlacesDatabase(file, sink); }
};

}  // namespace

const std::vector<std::unique_ptr<Reader>>& fileReaders() {
  static const std::vector<std::unique_ptr<Reader>> readers = [] {
    std::vector<std::unique_ptr<Reader>> made;
    made.push_back(std::make_unique<PlacesReader>());
    made.push_back(std::make_unique<LinkFileReader>(readPropertyList, looksLikePropertyList));
    made.push_back(std::make_unique<LinkFileReader>(readInternetShortcut));
    made.push_back(std::make_unique<LinkFileReader>(readDesktopEntry));
    made.push_back(std::make_unique<ChromiumReader>());
    made.push_back(std::make_unique<NetscapeReader>());
    return made;
  }();
  return readers;
}

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
// Single link files (Internet shortcuts, freedesktop links, macOS .webloc property lists) and
// folders of them.
#include <fcntl.h>
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
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"

namespace trevanto::import {
namespace {

std::string titleFromPath(const std::filesystem::path& path) { return linkFileTitle(path.filename().string()); }

// A reader of one kind of link file behind the common interface: the file's title is its
// name, and it goes to the named section.
class LinkFileReader : public Reader {
 public:
  using Parse = LinkFile (*)(std::string_view);
  using Recognise = bool (*)(std::string_view);
  LinkFileReader(std::string_view name, Parse parse, Recognise recognise)
      : name_(name), parse_(parse), recognise_(recognise) {}
  std::string_view name() const override { return name_; }
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
  std::string_view name_;
  Parse parse_;
  Recognise recognise_;
};

}  // namespace

std::unique_ptr<Reader> makeLinkFileReader(std::string_view name, LinkFile (*parse)(std::string_view),
                                           bool (*recognise)(std::string_view)) {
  return std::make_unique<LinkFileReader>(name, parse, recognise);
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
  levels.push_back({top, base::listFolder(top, base::DotFolders::Listed)});
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
        entries = base::listFolder(path, base::DotFolders::Listed);
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

}  // namespace trevanto::import

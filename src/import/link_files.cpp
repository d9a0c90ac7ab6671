// SPDX-License-Identifier: MIT
// Single link files (Internet shortcuts, freedesktop links, macOS .webloc property lists) and
// folders of them.
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "base/file_error.h"
#include "base/files.h"
#include "base/folder_order.h"
#include "base/path_text.h"
#include "base/text.h"
#include "formats.h"
#include "reader_registry.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"

namespace trevanto::import {
namespace {

std::string titleFromPath(const std::filesystem::path& path) { return linkFileTitle(base::textOf(path.filename())); }

// A reader of one kind of link file behind the common interface: the file's title is its
// name, and it goes to the named section.
class LinkFileReader : public Reader {
 public:
  using Parse = LinkFile (*)(std::string_view);
  using Recognise = bool (*)(std::string_view);
  LinkFileReader(std::string_view name, std::string_view extension, Parse parse, Recognise recognise)
      : name_(name), extension_(extension), parse_(parse), recognise_(recognise) {}
  std::string_view name() const override { return name_; }
  std::span<const std::string_view> linkFileExtensions() const override { return {&extension_, 1}; }
  LinkFile readLinkFile(std::string_view bytes) const override { return parse_(bytes); }
  bool recognises(std::string_view head) const override {
    return recognise_ != nullptr ? recognise_(head) : parse_(head).known;
  }
  void read(const std::filesystem::path& file, BookmarkSink& sink) const override {
    const site::ShortcutFile loaded = site::loadShortcutFile(file);
    if (loaded.problem == base::ReadProblem::Unreadable)
      throw base::FileError("Не удалось прочитать файл", file, loaded.reason());
    if (loaded.problem != base::ReadProblem::None)
      throw base::FileError("Не удалось прочитать файл", file, "не обычный файл или больше 1 МиБ");
    const LinkFile link = parse_(loaded.bytes);
    if (!link.known) throw base::FileError("Неизвестный вид закладок", file, "файл изменился во время чтения");
    sink.bookmark(titleFromPath(file), link.address);
  }

 private:
  std::string_view name_;
  std::string_view extension_;
  Parse parse_;
  Recognise recognise_;
};

}  // namespace

std::unique_ptr<Reader> makeLinkFileReader(std::string_view name, std::string_view extension,
                                           LinkFile (*parse)(std::string_view), bool (*recognise)(std::string_view)) {
  return std::make_unique<LinkFileReader>(name, extension, parse, recognise);
}

LinkFile readLinkFile(std::string_view bytes) {
  for (const Reader* reader : linkFileReaders()) {
    LinkFile link = reader->readLinkFile(bytes);
    if (link.known) return link;
  }
  return {};
}

std::string linkFileTitle(std::string_view rawFileName) {
  const std::size_t dot = rawFileName.rfind('.');
  if (dot != std::string_view::npos && dot > 0) rawFileName = rawFileName.substr(0, dot);
  return std::string(rawFileName);
}

namespace {

// A link file by its name's extension: one too large to read is named, not counted as a file
// of another kind.
bool hasLinkFileExtension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = name.substr(dot + 1);
  for (const Reader* reader : linkFileReaders()) {
    for (std::string_view known : reader->linkFileExtensions()) {
      if (base::equalsIgnoringAsciiCase(extension, known)) return true;
    }
  }
  return false;
}

// One folder's entries through its open folder, in the one name order, dot entries kept.
// Throws base::FileError (shown by name only) when the folder cannot be listed.
std::vector<base::FolderEntry> entriesOf(const base::OpenFolder& folder, const std::filesystem::path& shownAs) {
  std::error_code error;
  std::vector<base::FolderEntry> entries = folder.entries(error);
  base::throwIfFailed(error, "Не удалось прочитать папку", shownAs);
  return entries;
}

// The walk over a folder of link files. It holds the folder it is in open, never a path: the
// depth of a tree is not limited by the length of a path. It climbs back through "..", checked
// to be the folder it came from (a folder reached through a link has another parent), else
// opened again from the top, name by name.
class LinkFolderWalk {
 public:
  LinkFolderWalk(const std::filesystem::path& top, BookmarkSink& sink) : top_(top), sink_(sink) {
    std::error_code error;
    topFolder_ = base::OpenFolder::open(top, error);
    const std::optional<base::FileIdentity> identity = topFolder_ ? topFolder_.identity(error) : std::nullopt;
    base::throwIfFailed(error, "Не удалось прочитать папку", top);
    seen_.insert(*identity);
    levels_.push_back({{}, *identity, entriesOf(topFolder_, top)});
  }

  void run() {
    while (!levels_.empty()) {
      Level& level = levels_.back();
      if (level.next == level.entries.size()) {
        if (levels_.size() == 1) return;
        sink_.endFolder();
        climb();
        continue;
      }
      const base::FolderEntry& entry = level.entries[level.next++];
      if (entry.isFolder) {
        enter(entry.name);
      } else {
        readFile(entry.name);
      }
    }
  }

 private:
  struct Level {
    std::string name;  // as the file system holds it; empty for the top
    base::FileIdentity identity;
    std::vector<base::FolderEntry> entries;
    std::size_t next = 0;
  };

  const base::OpenFolder& here() const { return levels_.size() == 1 ? topFolder_ : below_; }

  std::filesystem::path shownPath() const {
    std::filesystem::path path = top_;
    for (std::size_t i = 1; i < levels_.size(); ++i) path = base::joinPath(path, levels_[i].name);
    return path;
  }

  // Goes into a folder of the one the walk is in, unless it cannot be read or was read before
  // (a folder linked into itself is read once).
  void enter(const std::string& name) {
    std::error_code error;
    base::OpenFolder folder = here().openFolder(name, error);
    const std::optional<base::FileIdentity> identity = folder ? folder.identity(error) : std::nullopt;
    if (!identity) {
      sink_.skipped(name, "папка не читается: " + base::systemReason(error));
      return;
    }
    if (!seen_.insert(*identity).second) return;
    std::vector<base::FolderEntry> entries;
    try {
      entries = entriesOf(folder, base::joinPath(shownPath(), name));
    } catch (const base::FileError& unreadable) {
      sink_.skipped(name, "папка не читается: " + unreadable.reason());
      return;
    }
    sink_.beginFolder(name);
    levels_.push_back({name, *identity, std::move(entries)});
    below_ = std::move(folder);
  }

  // Back to the folder the current one was entered from.
  void climb() {
    levels_.pop_back();
    if (levels_.size() == 1) {
      below_ = base::OpenFolder();
      return;
    }
    std::error_code error;
    base::OpenFolder parent = below_.parent(error);
    const std::optional<base::FileIdentity> identity = parent ? parent.identity(error) : std::nullopt;
    if (identity && *identity == levels_.back().identity) {
      below_ = std::move(parent);
      return;
    }
    below_ = topFolder_.again(error);
    for (std::size_t i = 1; i < levels_.size() && below_; ++i) below_ = below_.openFolder(levels_[i].name, error);
    base::throwIfFailed(error, "Не удалось прочитать папку", shownPath());
  }

  void readFile(const std::string& name) {
    const base::FileRead file = here().readFile(name, site::kMaxShortcutBytes);
    switch (file.problem) {
      case base::ReadProblem::Unreadable:
        sink_.skipped(linkFileTitle(name), "не читается: " + file.reason());
        return;
      case base::ReadProblem::TooLarge:
        if (hasLinkFileExtension(name)) {
          sink_.skipped(linkFileTitle(name), "файл больше 1 МиБ");
        } else {
          sink_.passedOver();
        }
        return;
      case base::ReadProblem::NotRegularFile:
        sink_.passedOver();
        return;
      case base::ReadProblem::None:
        break;
    }
    const LinkFile link = readLinkFile(file.bytes);
    if (!link.known) {
      sink_.passedOver();
      return;
    }
    sink_.bookmark(linkFileTitle(name), link.address);
  }

  std::filesystem::path top_;
  BookmarkSink& sink_;
  base::OpenFolder topFolder_;
  base::OpenFolder below_;  // the folder of levels_.back(), below the top
  std::vector<Level> levels_;
  std::set<base::FileIdentity> seen_;
};

}  // namespace

void readLinkFolder(const std::filesystem::path& top, BookmarkSink& sink) { LinkFolderWalk(top, sink).run(); }

}  // namespace trevanto::import

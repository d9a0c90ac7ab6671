// SPDX-License-Identifier: MIT
// Single link files (Internet shortcuts, freedesktop links, macOS .webloc property lists) and
// folders of them.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "base/posix/file_descriptor.h"
#include "base/file_error.h"
#include "base/folder_order.h"
#include "base/text.h"
#include "formats.h"
#include "reader_registry.h"
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

// One folder's entries, read through its descriptor, in the one name order; dot entries kept.
// Throws base::FileError (shown by name only) when the folder cannot be listed.
std::vector<base::FolderEntry> entriesAt(int folderFd, const std::filesystem::path& shownAs) {
  const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
  if (dir == nullptr) {
    const int error = errno;
    if (listFd >= 0) ::close(listFd);
    throw base::FileError("Не удалось прочитать папку", shownAs, base::systemReason(error));
  }
  const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
  std::vector<base::FolderEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) throw base::FileError("Не удалось прочитать папку", shownAs, base::systemReason(errno));
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat info {};
      isFolder = ::fstatat(folderFd, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
    }
    entries.push_back({std::string(name), isFolder});
  }
  base::sortInNameOrder(entries, [](const base::FolderEntry& entry) -> const std::string& { return entry.name; });
  return entries;
}

enum class LinkFileSize { Fits, TooLarge, NotRegular, Unreadable };

// A file of a folder read whole through the folder's descriptor, up to the shortcut limit.
LinkFileSize readFileAt(int folderFd, const std::string& name, std::string& bytes, std::string& reason) {
  const base::FileDescriptor fd(::openat(folderFd, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0) {
    reason = base::systemReason(errno);
    return LinkFileSize::Unreadable;
  }
  if (!S_ISREG(info.st_mode)) return LinkFileSize::NotRegular;
  if (static_cast<std::uint64_t>(info.st_size) > site::kMaxShortcutBytes) return LinkFileSize::TooLarge;
  base::ReadResult read = base::readUpTo(fd.get(), site::kMaxShortcutBytes + 1);
  if (read.error != 0) {
    reason = base::systemReason(read.error);
    return LinkFileSize::Unreadable;
  }
  if (read.bytes.size() > site::kMaxShortcutBytes) return LinkFileSize::TooLarge;
  bytes = std::move(read.bytes);
  return LinkFileSize::Fits;
}

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

}  // namespace

void readLinkFolder(const std::filesystem::path& top, BookmarkSink& sink) {
  // The walk holds the descriptor of the folder it is in, never a path: the depth of a tree is
  // not limited by the length of a path. It climbs back through "..", checked to be the folder
  // it came from (a folder reached through a link has another parent), else opened again
  // from the top, name by name.
  struct Level {
    std::string name;  // as the file system holds it; empty for the top
    dev_t device = 0;
    ino_t inode = 0;
    std::vector<base::FolderEntry> entries;
    std::size_t next = 0;
  };
  const auto shownPath = [&top](const std::vector<Level>& levels) {
    std::filesystem::path path = top;
    for (std::size_t i = 1; i < levels.size(); ++i) path = base::joinPath(path, levels[i].name);
    return path;
  };
  std::set<std::pair<dev_t, ino_t>> seen;  // folders linked into themselves are read once
  base::FileDescriptor topFd(::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat info {};
  if (!topFd || ::fstat(topFd.get(), &info) != 0)
    throw base::FileError("Не удалось прочитать папку", top, base::systemReason(errno));
  seen.emplace(info.st_dev, info.st_ino);
  std::vector<Level> levels;
  levels.push_back({{}, info.st_dev, info.st_ino, entriesAt(topFd.get(), top)});
  base::FileDescriptor here;  // the folder of levels.back(), below the top
  const auto hereFd = [&] { return levels.size() == 1 ? topFd.get() : here.get(); };

  const auto climb = [&] {
    levels.pop_back();
    if (levels.size() == 1) {
      here = base::FileDescriptor();
      return;
    }
    base::FileDescriptor parent(::openat(here.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat parentInfo {};
    if (parent && ::fstat(parent.get(), &parentInfo) == 0 && parentInfo.st_dev == levels.back().device &&
        parentInfo.st_ino == levels.back().inode) {
      here = std::move(parent);
      return;
    }
    here = base::FileDescriptor(::dup(topFd.get()));
    for (std::size_t i = 1; i < levels.size() && here; ++i) {
      here = base::FileDescriptor(::openat(here.get(), levels[i].name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!here) throw base::FileError("Не удалось прочитать папку", shownPath(levels), base::systemReason(errno));
  };

  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.entries.size()) {
      if (levels.size() == 1) return;
      sink.endFolder();
      climb();
      continue;
    }
    const base::FolderEntry& entry = level.entries[level.next++];
    if (entry.isFolder) {
      base::FileDescriptor folder(::openat(hereFd(), entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      struct stat folderInfo {};
      if (!folder || ::fstat(folder.get(), &folderInfo) != 0) {
        sink.skipped(entry.name, "папка не читается: " + base::systemReason(errno));
        continue;
      }
      if (!seen.emplace(folderInfo.st_dev, folderInfo.st_ino).second) continue;
      std::vector<base::FolderEntry> entries;
      try {
        entries = entriesAt(folder.get(), base::joinPath(shownPath(levels), entry.name));
      } catch (const base::FileError& unreadable) {
        sink.skipped(entry.name, "папка не читается: " + unreadable.reason());
        continue;
      }
      sink.beginFolder(entry.name);
      std::string name = entry.name;
      levels.push_back({std::move(name), folderInfo.st_dev, folderInfo.st_ino, std::move(entries)});
      here = std::move(folder);
      continue;
    }
    std::string bytes, reason;
    switch (readFileAt(hereFd(), entry.name, bytes, reason)) {
      case LinkFileSize::Unreadable:
        sink.skipped(linkFileTitle(entry.name), "не читается: " + reason);
        continue;
      case LinkFileSize::TooLarge:
        if (hasLinkFileExtension(entry.name)) {
          sink.skipped(linkFileTitle(entry.name), "файл больше 1 МиБ");
        } else {
          sink.passedOver();
        }
        continue;
      case LinkFileSize::NotRegular:
        sink.passedOver();
        continue;
      case LinkFileSize::Fits:
        break;
    }
    const LinkFile link = readLinkFile(bytes);
    if (!link.known) {
      sink.passedOver();
      continue;
    }
    sink.bookmark(linkFileTitle(entry.name), link.address);
  }
}

}  // namespace trevanto::import

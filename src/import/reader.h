// SPDX-License-Identifier: MIT
// The one small interface every bookmark reader stands behind: a reader recognises its format
// by the first bytes of a file and pushes what it finds, in the order the source holds it, into
// a sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace trevanto::import {

// Receives one input's bookmarks. Titles come as the source holds them (a link file's title is
// its name as the file system holds it): making them UTF-8 (titleAsUtf8) and safe for a file
// system is the sink's business, done once for every reader. Addresses are UTF-8. Folders nest: every beginFolder
// is closed by an endFolder. A browser's root containers (toolbar, menu, "other", unfiled,
// mobile) and the top level of a file are never reported as folders.
class BookmarkSink {
 public:
  virtual ~BookmarkSink() = default;
  virtual void beginFolder(std::string_view title) = 0;
  virtual void endFolder() = 0;
  // A bookmark. An empty address is a bookmark without one, skipped and reported.
  virtual void bookmark(std::string_view title, std::string_view address) = 0;
  // A bookmark with the time the user added it, in seconds since 1970 (0 when the source does
  // not say). A sink that keeps no dates takes it as a bookmark.
  virtual void datedBookmark(std::string_view title, std::string_view address, std::int64_t added) {
    static_cast<void>(added);
    bookmark(title, address);
  }
  // Something the import passes over with a reason given to the user (an unreadable file).
  virtual void skipped(std::string_view title, std::string_view reason) = 0;
  // A file of no known kind inside a folder of link files: passed over and counted.
  virtual void passedOver() = 0;
};

// How much of a file recognition looks at.
inline constexpr std::size_t kHeadBytes = 4096;

// What a file that holds one link (a shortcut of some kind) holds.
struct LinkFile {
  bool known = false;   // of the reader's kind
  std::string address;  // UTF-8; empty when the file holds none
};

// What a parser of bytes throws when they are not of its format; the reader that called it turns
// it into a base::FileError naming the file ("Неизвестный вид закладок").
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Bytes of the parser's format that cannot be read whole (too large once converted, damaged
// past what the parser may recover from): the reason names where. The reader turns it into a
// base::FileError naming the file ("Не удалось прочитать").
class UnreadableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Reader {
 public:
  virtual ~Reader() = default;
  // The kind as the user knows it, for the message about a file of no known kind.
  virtual std::string_view name() const = 0;
  // Recognises the format by content only; head is up to kHeadBytes from the file's start.
  virtual bool recognises(std::string_view head) const = 0;
  // Reads the whole input. Throws base::FileError naming the file when it cannot be read or
  // turns out not to be of this format after all.
  virtual void read(const std::filesystem::path& file, BookmarkSink& sink) const = 0;

  // A reader of files that hold one link each is asked by the walk over a folder of them too:
  // the names its files end in (without the dot, any letter case: "url"), and the link a file's
  // bytes hold. Readers of whole bookmark files have no extensions, and a folder passes their
  // files over as files of another kind.
  virtual std::span<const std::string_view> linkFileExtensions() const { return {}; }
  virtual LinkFile readLinkFile(std::string_view bytes) const {
    static_cast<void>(bytes);
    return {};
  }

 protected:
  // How a reader of a whole bookmark file reads it: the file's bytes (refused by their size
  // before reading when larger than any export), then parse(bytes), a FormatError or
  // UnreadableError from it turned into a base::FileError naming the file.
  static void parseWholeFile(const std::filesystem::path& file, const std::function<void(std::string bytes)>& parse);
  // The same for a reader that reads the file as it parses it: parse(), a FormatError or
  // UnreadableError from it turned into a base::FileError naming the file.
  static void namingTheFile(const std::filesystem::path& file, const std::function<void()>& parse);
};

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
// The "Bookmarks" file of a Chromium-family browser's profile: JSON with the roots
// "bookmark_bar", "other" and "synced", each a folder of "url" and "folder" nodes. Other roots
// (a "trash" kept by some browsers) are not imported.
#include <array>
#include <istream>
#include <nlohmann/json.hpp>
#include <optional>
#include <streambuf>
#include <vector>

#include "base/files.h"
#include "base/file_error.h"
#include "formats.h"

namespace trevanto::import {
namespace {

using Json = nlohmann::json;

constexpr std::array<std::string_view, 3> kRoots = {"bookmark_bar", "other", "synced"};

// When a bookmark was added: "date_added", microseconds since 1601 in decimal digits, as seconds
// since 1970; 0 when absent or not a number.
std::int64_t addedSeconds(std::string_view digits) {
  if (digits.empty() || digits.size() > 18) return 0;
  std::int64_t microseconds = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    microseconds = microseconds * 10 + (c - '0');
  }
  constexpr std::int64_t kSeconds1601To1970 = 11'644'473'600;
  return microseconds / 1'000'000 - kSeconds1601To1970;
}

// What one root holds, in the order the sink is to hear it.
struct Entry {
  enum Kind : unsigned char { Begin, End, Bookmark } kind = Begin;
  std::string title;
  std::string address;
  std::int64_t added = 0;
};

// Follows the parser's events and keeps only the bookmarks and folders of the three roots: the
// rest of the file (other dates, guids, icons, sync data, a "trash") is passed over as it is
// read, so the memory taken is that of what is kept. A browser writes a node's keys in any
// order ("children" before "name" and "type"), so a node's children are kept after a place
// held for its folder line, which the node's end fills in or takes back. A key given twice
// counts as it is given last, as when the file is read whole.
class BookmarksHandler final : public nlohmann::json_sax<Json> {
 public:
  // Throws FormatError when the document holds no "roots" object.
  void deliver(BookmarkSink& sink) const {
    if (!rootsSeen_) throw FormatError("не файл закладок Chromium: нет раздела \"roots\"");
    for (const std::vector<Entry>& root : roots_) {
      for (const Entry& entry : root) {
        switch (entry.kind) {
          case Entry::Begin:
            sink.beginFolder(entry.title);
            break;
          case Entry::End:
            sink.endFolder();
            break;
          case Entry::Bookmark:
            sink.datedBookmark(entry.title, entry.address, entry.added);
            break;
        }
      }
    }
  }

  bool null() override { return scalar(); }
  bool boolean(bool) override { return scalar(); }
  bool number_integer(number_integer_t) override { return scalar(); }
  bool number_unsigned(number_unsigned_t) override { return scalar(); }
  bool number_float(number_float_t, const string_t&) override { return scalar(); }
  bool binary(binary_t&) override { return scalar(); }

  bool string(string_t& value) override {
    if (passedOver_ > 0) return true;
    std::string* field = nullptr;
    switch (take()) {
      case Slot::Name: field = &nodes_.back().name; break;
      case Slot::Type: field = &nodes_.back().type; break;
      case Slot::Url: field = &nodes_.back().url; break;
      case Slot::Added: field = &nodes_.back().added; break;
      case Slot::Separator: field = &nodes_.back().separator; break;
      default: break;
    }
    if (field != nullptr) *field = std::move(value);
    return true;
  }

  bool start_object(std::size_t) override {
    if (passedOver_ > 0) return ++passedOver_, true;
    if (frames_.empty()) {
      frames_.push_back({Role::Document, 0});
      return true;
    }
    const Frame parent = frames_.back();
    const Slot slot = take();
    if (parent.role == Role::Document && slot == Slot::Roots) {
      rootsSeen_ = true;
      frames_.push_back({Role::Roots, 0});
    } else if (parent.role == Role::Roots && slot == Slot::Root) {
      frames_.push_back({Role::Root, pendingRoot_});
    } else if (parent.role == Role::List) {
      frames_.push_back({Role::Node, parent.root});
      nodes_.emplace_back();
    } else if (parent.role == Role::Node && slot == Slot::Meta) {
      frames_.push_back({Role::Meta, parent.root});
    } else {
      passedOver_ = 1;
    }
    return true;
  }

  bool key(string_t& key) override {
    if (passedOver_ > 0) return true;
    pending_ = Slot::None;
    const Frame& frame = frames_.back();
    switch (frame.role) {
      case Role::Document:
        if (key == "roots") {
          pending_ = Slot::Roots;
          rootsSeen_ = false;
          for (std::vector<Entry>& root : roots_) root.clear();
        }
        break;
      case Role::Roots:
        for (std::size_t i = 0; i < kRoots.size(); ++i) {
          if (key != kRoots[i]) continue;
          pending_ = Slot::Root;
          pendingRoot_ = i;
          roots_[i].clear();
        }
        break;
      case Role::Root:
        if (key == "children") {
          pending_ = Slot::Children;
          roots_[frame.root].clear();
        }
        break;
      case Role::Node: {
        Node& node = nodes_.back();
        if (key == "name") {
          pending_ = Slot::Name, node.name.clear();
        } else if (key == "type") {
          pending_ = Slot::Type, node.type.clear();
        } else if (key == "url") {
          pending_ = Slot::Url, node.url.clear();
        } else if (key == "date_added") {
          pending_ = Slot::Added, node.added.clear();
        } else if (key == "meta_info") {
          pending_ = Slot::Meta, node.separator.clear();
        } else if (key == "children") {
          pending_ = Slot::Children;
          takeBackChildren(node, roots_[frame.root]);
        }
        break;
      }
      case Role::Meta:
        if (key == "Separator") {
          pending_ = Slot::Separator;
          nodes_.back().separator.clear();
        }
        break;
      case Role::List:
        break;
    }
    return true;
  }

  bool end_object() override {
    if (passedOver_ > 0) return --passedOver_, true;
    const Frame frame = frames_.back();
    frames_.pop_back();
    if (frame.role == Role::Node) finishNode(roots_[frame.root]);
    return true;
  }

  bool start_array(std::size_t) override {
    if (passedOver_ > 0) return ++passedOver_, true;
    const Slot slot = take();
    if (slot != Slot::Children || frames_.empty()) {
      passedOver_ = 1;
      return true;
    }
    const Frame parent = frames_.back();
    if (parent.role == Role::Node) {
      std::vector<Entry>& entries = roots_[parent.root];
      nodes_.back().mark = entries.size();
      entries.emplace_back();  // the folder line, should the node turn out a folder
    }
    frames_.push_back({Role::List, parent.root});
    return true;
  }

  bool end_array() override {
    if (passedOver_ > 0) return --passedOver_, true;
    frames_.pop_back();
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  // What a container is to the reader.
  enum class Role : unsigned char { Document, Roots, Root, List, Node, Meta };
  // What the value after the last key is for.
  enum class Slot : unsigned char { None, Roots, Root, Children, Name, Type, Url, Added, Meta, Separator };
  struct Frame {
    Role role;
    std::size_t root;  // which of kRoots the container is inside
  };
  static constexpr std::size_t kNoMark = static_cast<std::size_t>(-1);
  // A node being read; its fields stay empty unless given as strings.
  struct Node {
    std::string name, type, url, added, separator;
    std::size_t mark = kNoMark;  // where its children begin in its root's entries
  };

  Slot take() { return std::exchange(pending_, Slot::None); }
  bool scalar() {
    if (passedOver_ == 0) take();
    return true;
  }

  // Children given before are taken back when the key comes again.
  static void takeBackChildren(Node& node, std::vector<Entry>& entries) {
    if (node.mark == kNoMark) return;
    entries.resize(node.mark);
    node.mark = kNoMark;
  }

  // A separator some browsers keep as a node of its own is left out; a folder keeps its
  // children, anything else loses them.
  void finishNode(std::vector<Entry>& entries) {
    Node node = std::move(nodes_.back());
    nodes_.pop_back();
    const bool separator = node.type == "separator" || node.separator == "true";
    if (!separator && node.type == "folder") {
      if (node.mark == kNoMark) {
        node.mark = entries.size();
        entries.emplace_back();
      }
      entries[node.mark].title = std::move(node.name);
      entries.push_back({Entry::End, {}, {}, 0});
      return;
    }
    takeBackChildren(node, entries);
    if (!separator && node.type == "url")
      entries.push_back({Entry::Bookmark, std::move(node.name), std::move(node.url), addedSeconds(node.added)});
  }

  std::array<std::vector<Entry>, kRoots.size()> roots_;
  std::vector<Frame> frames_;
  std::vector<Node> nodes_;
  Slot pending_ = Slot::None;
  std::size_t pendingRoot_ = 0;
  std::size_t passedOver_ = 0;  // the depth inside a container the reader passes over
  bool rootsSeen_ = false;
};

template <typename Input>
void readFrom(Input&& input, BookmarkSink& sink) {
  BookmarksHandler handler;
  if (!Json::sax_parse(std::forward<Input>(input), &handler))
    throw FormatError("не файл закладок: не читается как JSON");
  handler.deliver(sink);
}

// A file read piece by piece as the parser asks for it.
class FileBuffer final : public std::streambuf {
 public:
  FileBuffer(const std::filesystem::path& file, base::OpenFile open) : file_(file), open_(std::move(open)) {}

 protected:
  int_type underflow() override {
    base::ReadChunk read = open_.read(kPieceBytes);
    if (read.error) throw base::FileError("Не удалось прочитать", file_, base::systemReason(read.error));
    if (read.bytes.empty()) return traits_type::eof();
    piece_ = std::move(read.bytes);
    setg(piece_.data(), piece_.data(), piece_.data() + piece_.size());
    return traits_type::to_int_type(piece_.front());
  }

 private:
  static constexpr std::size_t kPieceBytes = 256 * 1024;
  const std::filesystem::path& file_;
  base::OpenFile open_;
  std::string piece_;
};

// The file opened without waiting on it, and only when it is a regular file.
base::OpenFile openRegularFile(const std::filesystem::path& file) {
  std::error_code error;
  base::OpenFile open = base::OpenFile::toRead(file, error);
  base::throwIfFailed(error, "Не удалось прочитать", file);
  const std::optional<base::FileStatus> status = open.status(error);
  base::throwIfFailed(error, "Не удалось прочитать", file);
  if (status->kind != base::FileKind::Regular) throw base::FileError("Не удалось прочитать", file, "не обычный файл");
  return open;
}

}  // namespace

void readChromiumBookmarks(std::string_view bytes, BookmarkSink& sink) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  readFrom(bytes, sink);
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
    FileBuffer buffer(file, openRegularFile(file));
    std::istream in(&buffer);
    // A byte order mark is passed over by the parser itself.
    namingTheFile(file, [&] { readFrom(in, sink); });
  }
};

}  // namespace

std::unique_ptr<Reader> makeChromiumReader() { return std::make_unique<ChromiumReader>(); }

}  // namespace trevanto::import

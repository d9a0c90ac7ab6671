// SPDX-License-Identifier: MIT
// The Netscape bookmark file is tag soup: <DT> and <p> are never closed, a folder is a
// <DT><H3> followed by a <DL>, titles and addresses carry character references. libxml2's HTML
// parser builds the tree; the walk below follows the <DL> nesting in document order, which
// every exporter's soup keeps.
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/text.h"
#include "charset.h"
#include "formats.h"
#include "site/text_encoding.h"

namespace trevanto::import {
namespace {

constexpr int kParseOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                              HTML_PARSE_IGNORE_ENC | HTML_PARSE_COMPACT;
// The bookmark parse counts the errors it recovers from itself, and warnings are none of its
// business; the charset's parse of the head nests as deep as the head does.
constexpr int kBookmarkParseOptions = kParseOptions & ~HTML_PARSE_NOERROR;
constexpr int kHeadParseOptions = kParseOptions | XML_PARSE_HUGE;
constexpr std::size_t kDoctypeWithin = 1024;
constexpr std::size_t kCharsetHeadBytes = 8192;

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

Doc parseHtml(std::string_view text, const char* encoding, int options) {
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;
  if (text.size() > static_cast<std::size_t>(INT_MAX)) throw FormatError("файл слишком велик");
  return Doc(htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, encoding, options));
}

std::string_view nameOf(const xmlNode* node) {
  return node->name != nullptr ? std::string_view(reinterpret_cast<const char*>(node->name)) : std::string_view();
}

bool isElement(const xmlNode* node, std::string_view name) {
  return node->type == XML_ELEMENT_NODE && base::equalsIgnoringAsciiCase(nameOf(node), name);
}

std::optional<std::string> attribute(const xmlNode* node, std::string_view name) {
  for (const xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
    if (attr->name == nullptr || !base::equalsIgnoringAsciiCase(reinterpret_cast<const char*>(attr->name), name))
      continue;
    xmlChar* value = xmlNodeListGetString(node->doc, attr->children, 1);
    std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
  }
  return std::nullopt;
}

// Calls enter for every node in document order and leave after its children; enter returns
// false to pass over a node's children. Iterative, so deep nesting cannot exhaust the stack.
template <typename Enter, typename Leave>
void walk(xmlNode* root, Enter enter, Leave leave) {
  xmlNode* node = root;
  for (;;) {
    if (enter(node) && node->children != nullptr) {
      node = node->children;
      continue;
    }
    for (;;) {
      leave(node);
      if (node == root) return;
      if (node->next != nullptr) {
        node = node->next;
        break;
      }
      node = node->parent;
    }
  }
}

bool hasNetscapeDoctype(std::string_view text) {
  const std::string head = base::asciiLower(text.substr(0, kDoctypeWithin));
  return head.find("<!doctype netscape-bookmark-file-1>") != std::string::npos;
}

}  // namespace

std::string declaredHtmlCharset(std::string_view bytes) {
  // Read as Latin-1, every byte stands for itself: enough to find the META in any charset
  // that keeps ASCII as it is.
  // A NUL byte would end the parse: read as a blank.
  std::string head(bytes.substr(0, kCharsetHeadBytes));
  std::replace(head.begin(), head.end(), '\0', ' ');
  const Doc doc = parseHtml(head, "ISO-8859-1", kHeadParseOptions);
  if (!doc || xmlDocGetRootElement(doc.get()) == nullptr) return {};
  std::string charset;
  walk(
      xmlDocGetRootElement(doc.get()),
      [&](xmlNode* node) {
        if (!charset.empty()) return false;
        if (!isElement(node, "meta")) return true;
        if (auto value = attribute(node, "charset")) {
          charset = *value;
        } else if (auto content = attribute(node, "content"); content && attribute(node, "http-equiv")) {
          const std::string lower = base::asciiLower(*content);
          const std::size_t at = lower.find("charset=");
          if (at != std::string::npos) {
            std::string declared = content->substr(at + 8);
            if (!declared.empty() && (declared.front() == '"' || declared.front() == '\'')) declared.erase(0, 1);
            charset = declared.substr(0, declared.find_first_of(";\"' \t"));
          }
        }
        return false;
      },
      [](xmlNode*) {});
  return charset;
}

namespace {

// Follows the parser's element events (the soup closed as the HTML parser closes it) and
// tells the sink. Without the DOCTYPE line, nothing reaches the sink until a <DT><H3> or
// <DT><A HREF> inside a <DL> shows the file to be a bookmark file.
class BookmarkEvents {
 public:
  BookmarkEvents(BookmarkSink& sink, bool proven) : sink_(sink), proven_(proven) {}

  // The parser's recovery from broken markup, counted by countError.
  struct Recovery {
    std::size_t work = 0;
    std::optional<std::size_t> stoppedAt;  // the byte offset in the UTF-8 text
  } recovery;

  void start(std::string_view name, const xmlChar** attributes) {
    const bool inItem = !open_.empty() && open_.back() == "dt";
    open_.emplace_back(base::asciiLower(name));
    const std::string& element = open_.back();
    ++openCount_[element];
    if (element == "dl") {
      const bool folder = pendingFolder_ && !pendingFolder_->rootContainer;
      if (folder) emit({Event::Begin, std::move(pendingFolder_->title), {}});
      lists_.push_back(folder);
      pendingFolder_.reset();
    } else if (element == "h3") {
      prove(inItem);
      finishLink();
      // The toolbar and "other" folders of browsers' exports are root containers.
      folderTitle_ = FolderTitle{
          {}, isTrue(attributes, "personal_toolbar_folder") || isTrue(attributes, "unfiled_bookmarks_folder")};
      pendingFolder_.reset();
    } else if (element == "a") {
      const std::optional<std::string> href = attribute(attributes, "href");
      if (href) prove(inItem);
      finishLink();
      pendingFolder_.reset();  // a folder without a <DL> is empty
      link_ = Link{href.value_or(std::string()), {}, addDate(attributes)};
    }
  }

  // Closes the element and every element opened inside it and left open.
  void end(std::string_view name) {
    const std::string element = base::asciiLower(name);
    // Counted, not searched for: an end tag of no open element costs nothing at any depth.
    if (const auto open = openCount_.find(element); open == openCount_.end() || open->second == 0) return;
    for (;;) {
      const std::string closed = std::move(open_.back());
      open_.pop_back();
      --openCount_[closed];
      close(closed);
      if (closed == element) return;
    }
  }

  void text(std::string_view characters) {
    if (link_) {
      link_->title += characters;
    } else if (folderTitle_) {
      folderTitle_->title += characters;
    }
  }

  // Returns false when the file never showed itself a bookmark file.
  bool finish() {
    finishLink();
    while (!lists_.empty()) {
      if (lists_.back()) emit({Event::End, {}, {}});
      lists_.pop_back();
    }
    return proven_;
  }

 private:
  struct Event {
    enum Kind { Begin, End, Bookmark } kind;
    std::string title;
    std::string address;
    std::int64_t added = 0;
  };
  struct FolderTitle {
    std::string title;
    bool rootContainer = false;
  };
  struct Link {
    std::string address;
    std::string title;
    std::int64_t added = 0;
  };
  // ADD_DATE: seconds since 1970 in decimal digits; 0 when absent or not a number.
  static std::int64_t addDate(const xmlChar** attributes) {
    const std::optional<std::string> value = attribute(attributes, "add_date");
    std::int64_t seconds = 0;
    if (!value || value->empty() || value->size() > 18) return 0;
    for (char c : *value) {
      if (c < '0' || c > '9') return 0;
      seconds = seconds * 10 + (c - '0');
    }
    return seconds;
  }

  void close(const std::string& element) {
    if (element == "a") {
      finishLink();
    } else if (element == "h3" && folderTitle_) {
      pendingFolder_ = std::move(folderTitle_);
      folderTitle_.reset();
    } else if (element == "dl" && !lists_.empty()) {
      if (lists_.back()) emit({Event::End, {}, {}});
      lists_.pop_back();
    }
  }

  static std::optional<std::string> attribute(const xmlChar** attributes, std::string_view name) {
    for (const xmlChar** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
      if (base::equalsIgnoringAsciiCase(reinterpret_cast<const char*>(a[0]), name))
        return a[1] != nullptr ? reinterpret_cast<const char*>(a[1]) : "";
    }
    return std::nullopt;
  }
  static bool isTrue(const xmlChar** attributes, std::string_view name) {
    const auto value = attribute(attributes, name);
    return value && base::equalsIgnoringAsciiCase(*value, "true");
  }

  void finishLink() {
    if (!link_) return;
    Link done = std::move(*link_);
    link_.reset();
    emit({Event::Bookmark, std::move(done.title), std::move(done.address), done.added});
  }

  void prove(bool inItem) {
    if (proven_ || !inItem || lists_.empty()) return;
    proven_ = true;
    for (Event& event : held_) deliver(event);
    held_.clear();
  }

  void emit(Event event) {
    if (proven_) {
      deliver(event);
    } else {
      held_.push_back(std::move(event));
    }
  }

  void deliver(const Event& event) {
    switch (event.kind) {
      case Event::Begin:
        sink_.beginFolder(event.title);
        break;
      case Event::End:
        sink_.endFolder();
        break;
      case Event::Bookmark:
        sink_.datedBookmark(event.title, event.address, event.added);
        break;
    }
  }

  BookmarkSink& sink_;
  bool proven_;
  std::vector<Event> held_;
  std::vector<std::string> open_;             // the open elements, lower case
  std::unordered_map<std::string, std::size_t> openCount_;  // how many of each name are open
  std::vector<bool> lists_;                   // one per open <DL>: true when it is a folder told to the sink
  std::optional<FolderTitle> folderTitle_;    // an <H3> being read
  std::optional<FolderTitle> pendingFolder_;  // an <H3> read, waiting for its <DL>
  std::optional<Link> link_;                  // an <A> being read
};

// Where the parser is, in bytes of the text it was given.
std::size_t offsetOf(htmlParserCtxtPtr context) {
  const xmlParserInput* input = context->input;
  if (input == nullptr || input->base == nullptr) return 0;
  return static_cast<std::size_t>(input->consumed) + static_cast<std::size_t>(input->cur - input->base);
}

// The text handed to the parser a piece at a time. The parser checks each attribute of a tag
// against every attribute before it, so a tag of n attributes costs n squared; it keeps room
// for the most attributes any tag had so far (maxatts: a name and a value each take one). Between
// two pieces it reads at most one piece, and once a tag has shown more attributes than any
// bookmark file holds, the text ends there and the file is refused: the parse stays linear.
class PieceByPiece {
 public:
  PieceByPiece(std::string_view text, htmlParserCtxtPtr context) : text_(text), context_(context) {}
  std::optional<std::size_t> cutAt;  // where the text was ended, when it was

  static int read(void* self, char* buffer, int length) { return static_cast<PieceByPiece*>(self)->next(buffer, length); }

 private:
  static constexpr int kMaxAttributeRoom = 2048;  // several hundred attributes in one tag
  static constexpr std::size_t kPieceBytes = 4096;

  int next(char* buffer, int length) {
    if (cutAt) return 0;
    if (context_->maxatts > kMaxAttributeRoom) {
      cutAt = offsetOf(context_);
      return 0;
    }
    const std::size_t n = std::min({static_cast<std::size_t>(std::max(length, 0)), kPieceBytes, text_.size() - offset_});
    std::memcpy(buffer, text_.data() + offset_, n);
    offset_ += n;
    return static_cast<int>(n);
  }

  std::string_view text_;
  htmlParserCtxtPtr context_;
  std::size_t offset_ = 0;
};

BookmarkEvents& eventsOf(void* context) {
  return *static_cast<BookmarkEvents*>(static_cast<htmlParserCtxtPtr>(context)->_private);
}

// Counts the errors the parser recovers from, weighed by the open elements it looks through
// for each, and stops it past kMaxRecoveryWork.
void countError(void* ctx, const char*, ...) {
  auto* context = static_cast<htmlParserCtxtPtr>(ctx);
  BookmarkEvents::Recovery& recovery = eventsOf(ctx).recovery;
  recovery.work += static_cast<std::size_t>(std::max(context->nameNr, 0)) + 1;
  if (recovery.work <= kMaxRecoveryWork || recovery.stoppedAt) return;
  recovery.stoppedAt = offsetOf(context);
  xmlStopParser(context);
}

// Text with every NUL byte as U+FFFD.
std::string withoutNul(std::string text) {
  if (text.find('\0') == std::string::npos) return text;
  std::string out;
  out.reserve(text.size() + 64);
  for (char c : text) {
    if (c == '\0') {
      out += "\xEF\xBF\xBD";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

void readNetscapeBookmarks(std::string bytes, BookmarkSink& sink) {
  const std::string_view view = bytes;
  const bool hasBom = view.starts_with("\xEF\xBB\xBF") || view.starts_with("\xFF\xFE") || view.starts_with("\xFE\xFF");
  const std::string declared = hasBom ? std::string() : declaredHtmlCharset(bytes);
  const std::string text = withoutNul(htmlTextToUtf8(std::move(bytes), declared, kMaxBookmarkFileBytes));
  if (text.size() > kMaxBookmarkFileBytes) throw UnreadableError("текст файла в UTF-8 больше 1 ГиБ");
  if (text.size() > static_cast<std::size_t>(INT_MAX)) throw UnreadableError("текст файла в UTF-8 больше 2 ГиБ");
  BookmarkEvents events(sink, hasNetscapeDoctype(text));

  xmlInitParser();
  const std::unique_ptr<htmlParserCtxt, decltype(&htmlFreeParserCtxt)> context(htmlNewParserCtxt(),
                                                                                &htmlFreeParserCtxt);
  if (!context) throw FormatError("не хватило памяти для разбора");
  PieceByPiece pieces(text, context.get());
  xmlParserInputBufferPtr buffer =
      xmlParserInputBufferCreateIO(&PieceByPiece::read, nullptr, &pieces, XML_CHAR_ENCODING_NONE);
  if (buffer == nullptr) throw FormatError("не хватило памяти для разбора");
  xmlParserInputPtr input = xmlNewIOInputStream(context.get(), buffer, XML_CHAR_ENCODING_NONE);
  if (input == nullptr) {
    xmlFreeParserInputBuffer(buffer);
    throw FormatError("не хватило памяти для разбора");
  }
  inputPush(context.get(), input);
  htmlSAXHandler handler{};
  handler.startElement = [](void* ctx, const xmlChar* name, const xmlChar** attributes) {
    eventsOf(ctx).start(reinterpret_cast<const char*>(name), attributes);
  };
  handler.endElement = [](void* ctx, const xmlChar* name) { eventsOf(ctx).end(reinterpret_cast<const char*>(name)); };
  handler.characters = [](void* ctx, const xmlChar* characters, int length) {
    eventsOf(ctx).text(std::string_view(reinterpret_cast<const char*>(characters), static_cast<std::size_t>(length)));
  };
  handler.error = countError;
  *context->sax = handler;
  context->userData = context.get();
  context->_private = &events;
  htmlCtxtUseOptions(context.get(), kBookmarkParseOptions);
  xmlSwitchEncoding(context.get(), XML_CHAR_ENCODING_UTF8);
  htmlParseDocument(context.get());
  if (const auto cutAt = pieces.cutAt)
    throw UnreadableError("разбор остановлен у байта " + std::to_string(*cutAt) +
                          " текста в UTF-8: в теге сотни атрибутов, больше, чем в любом файле закладок");
  if (const auto stoppedAt = events.recovery.stoppedAt)
    throw UnreadableError("разбор остановлен у байта " + std::to_string(*stoppedAt) +
                          " текста в UTF-8: разметка испорчена сильнее, чем в любом файле закладок");
  if (!events.finish())
    throw FormatError("не файл закладок: нет ни строки NETSCAPE-Bookmark-file-1, ни списка <DL> папок и ссылок");
}

namespace {

class NetscapeReader : public Reader {
 public:
  std::string_view name() const override { return "файл закладок браузера"; }
  bool recognises(std::string_view head) const override {
    if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) return true;
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && head[first] == '<';
  }
  void read(const std::filesystem::path& file, BookmarkSink& sink) const override {
    parseWholeFile(file, [&sink](std::string bytes) { readNetscapeBookmarks(std::move(bytes), sink); });
  }
};

}  // namespace

std::unique_ptr<Reader> makeNetscapeReader() { return std::make_unique<NetscapeReader>(); }

}  // namespace trevanto::import

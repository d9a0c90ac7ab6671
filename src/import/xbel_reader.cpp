// SPDX-License-Identifier: MIT
// XBEL, the XML bookmark exchange format: <xbel> holds <folder>s and <bookmark href="...">s,
// each with an optional <title> first; <separator/>, <alias/>, <info> and <desc> are passed
// over. libxml2's reader walks the document as a stream of nodes. It never reaches the network,
// never loads a DTD or an external entity, keeps entity references as they stand instead of
// expanding them, and keeps its limits on the length of a text and the depth of the tree.
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

#include <climits>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/process.h"
#include "base/text.h"
#include "charset.h"
#include "formats.h"

namespace trevanto::import {
namespace {

// XML_PARSE_NOENT, XML_PARSE_DTDLOAD, XML_PARSE_DTDATTR and XML_PARSE_HUGE stay off: no entity
// is substituted, no DTD read, and the parser's caps on text length and depth hold.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA |
                              XML_PARSE_NOXINCNODE | XML_PARSE_COMPACT;

struct ReaderFree {
  void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};
using XmlReader = std::unique_ptr<xmlTextReader, ReaderFree>;

std::string_view textOf(const xmlChar* text) {
  return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// The first error the parser met, with its line, in place of its printing to stderr.
struct FirstError {
  std::string message;
  int line = 0;
  int code = 0;
  std::string charset;  // the charset named, when the parser has no converter for it
};

void keepFirstError(void* context, xmlError* error) {
  auto* first = static_cast<FirstError*>(context);
  if (error == nullptr || !first->message.empty() || error->level < XML_ERR_ERROR) return;
  std::string_view message = textOf(reinterpret_cast<const xmlChar*>(error->message));
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.remove_suffix(1);
  first->message = message;
  first->line = error->line;
  first->code = error->code;
  if (error->code == XML_ERR_UNSUPPORTED_ENCODING && error->str1 != nullptr) first->charset = error->str1;
  if (first->message.empty()) first->message = "ошибка разбора";
}

// "2024-03-01T10:20:30Z", "2024-03-01T10:20:30+02:00", "2024-03-01": seconds since 1970, 0
// when the text is no such date.
std::int64_t parseAdded(std::string_view text) {
  std::tm parts{};
  int consumed = 0;
  const std::string copy(base::trimBlanks(text));
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2d%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday, &consumed) != 3)
    return 0;
  std::string_view rest = std::string_view(copy).substr(static_cast<std::size_t>(consumed));
  std::int64_t offset = 0;
  if (!rest.empty()) {
    int used = 0;
    const std::string time(rest);
    if (std::sscanf(time.c_str(), "T%2d:%2d:%2d%n", &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &used) != 3) return 0;
    rest.remove_prefix(static_cast<std::size_t>(used));
    if (rest.starts_with('.')) {
      rest.remove_prefix(1);
      while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') rest.remove_prefix(1);
    }
    if (rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && rest[3] == ':') {
      const std::string zone(rest.substr(1));
      int hours = 0, minutes = 0;
      if (std::sscanf(zone.c_str(), "%2d:%2d", &hours, &minutes) != 2) return 0;
      offset = (rest[0] == '+' ? 1 : -1) * (hours * 3600 + minutes * 60);
    } else if (!rest.empty() && rest != "Z") {
      return 0;
    }
  }
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  return static_cast<std::int64_t>(base::utcTimeOf(parts)) - offset;
}

// An attribute's value: its text, an entity reference in it left out rather than expanded.
std::string attribute(const xmlNode* node, std::string_view name) {
  std::string value;
  if (node == nullptr) return value;
  for (const xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
    if (attr->ns != nullptr || textOf(attr->name) != name) continue;
    for (const xmlNode* part = attr->children; part != nullptr; part = part->next) {
      if (part->type == XML_TEXT_NODE) value += textOf(part->content);
    }
    break;
  }
  return value;
}

// The head as text: a UTF-16 file's too, so that its root element shows.
std::string headText(std::string_view head) {
  if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) {
    const bool bigEndian = head.starts_with("\xFE\xFF");
    head.remove_prefix(2);
    return base::utf16ToUtf8(head.substr(0, head.size() & ~std::size_t{1}), bigEndian);
  }
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  return std::string(head);
}

// An XML document whose root element, past the declaration, comments and DOCTYPE, is <xbel>.
bool startsAsXbel(std::string_view head) {
  const std::string text = headText(head.substr(0, kHeadBytes));
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || text[first] != '<') return false;
  std::size_t at = first;
  while (at < text.size()) {
    at = text.find('<', at);
    if (at == std::string::npos) return false;
    const std::string_view rest = std::string_view(text).substr(at);
    if (rest.starts_with("<?") || rest.starts_with("<!")) {
      const std::size_t end = rest.starts_with("<!--") ? text.find("-->", at) : text.find('>', at);
      if (end == std::string::npos) return false;
      at = end + 1;
      continue;
    }
    return rest.starts_with("<xbel") && rest.size() > 5 &&
           std::string_view(" \t\r\n>/").find(rest[5]) != std::string_view::npos;
  }
  return false;
}

// What an open element is to the walk.
enum class Element { Xbel, Folder, Bookmark, Title, Other };

Element elementOf(std::string_view name) {
  if (name == "xbel") return Element::Xbel;
  if (name == "folder") return Element::Folder;
  if (name == "bookmark") return Element::Bookmark;
  if (name == "title") return Element::Title;
  return Element::Other;
}

// Follows the elements and tells the sink. A folder is begun at its title, or at its first
// child when it has none; a bookmark is told at its end, when its title is known.
class XbelEvents {
 public:
  explicit XbelEvents(BookmarkSink& sink) : sink_(sink) {}

  void start(std::string_view name, xmlTextReader* reader) {
    const Element element = elementOf(name);
    if (open_.empty()) {
      if (element != Element::Xbel) throw FormatError("не XBEL: корневой элемент <" + std::string(name) + ">");
      sawRoot_ = true;
    } else if (element == Element::Folder || element == Element::Bookmark) {
      beginPendingFolder();
    }
    if (element == Element::Title && !open_.empty() && !open_.back().titled &&
        (open_.back().element == Element::Folder || open_.back().element == Element::Bookmark)) {
      title_.clear();
      inTitle_ = open_.size() + 1;
    }
    Open opened{element};
    if (element == Element::Bookmark) {
      const xmlNode* node = xmlTextReaderCurrentNode(reader);
      address_ = attribute(node, "href");
      added_ = parseAdded(attribute(node, "added"));
      bookmarkTitle_.clear();
    }
    open_.push_back(opened);
  }

  void text(std::string_view value) {
    if (inTitle_ != 0) title_ += value;
  }

  void end() {
    if (open_.empty()) return;
    const Open closing = open_.back();
    const bool closesTitle = inTitle_ == open_.size();
    open_.pop_back();
    if (closesTitle) {
      inTitle_ = 0;
      Open& owner = open_.back();
      owner.titled = true;
      if (owner.element == Element::Folder) {
        owner.begun = true;
        sink_.beginFolder(title_);
      } else {
        bookmarkTitle_ = title_;
      }
      return;
    }
    if (closing.element == Element::Folder) {
      // A folder with neither a title nor a child is begun as it ends.
      if (!closing.begun) sink_.beginFolder({});
      sink_.endFolder();
    } else if (closing.element == Element::Bookmark) {
      sink_.datedBookmark(bookmarkTitle_, address_, added_);
    }
  }

  bool sawRoot() const { return sawRoot_; }

 private:
  struct Open {
    Element element;
    bool titled = false;  // its first <title> was read
    bool begun = false;   // a folder told to the sink
  };

  // A folder without a title so far is told to the sink before its first child.
  void beginPendingFolder() {
    for (Open& open : open_) {
      if (open.element == Element::Folder && !open.begun) {
        open.begun = true;
        open.titled = true;
        sink_.beginFolder({});
      }
    }
  }

  BookmarkSink& sink_;
  std::vector<Open> open_;
  std::size_t inTitle_ = 0;  // the depth of the <title> being read, 0 when none
  std::string title_;
  std::string bookmarkTitle_;
  std::string address_;
  std::int64_t added_ = 0;
  bool sawRoot_ = false;
};

}  // namespace

namespace {

void readXbel(std::string_view bytes, BookmarkSink& sink, bool convertedHere) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) throw UnreadableError("файл больше 2 ГиБ");
  const XmlReader reader(xmlReaderForMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                            convertedHere ? "UTF-8" : nullptr,
                                            kParseOptions | (convertedHere ? XML_PARSE_IGNORE_ENC : 0)));
  if (!reader) throw UnreadableError("не хватило памяти для разбора XML");
  FirstError error;
  xmlTextReaderSetStructuredErrorHandler(reader.get(), keepFirstError, &error);
  XbelEvents events(sink);
  int status = 0;
  while ((status = xmlTextReaderRead(reader.get())) == 1) {
    if (xmlTextReaderDepth(reader.get()) > kMaxXbelDepth) {
      throw UnreadableError("папки вложены глубже " + std::to_string(kMaxXbelDepth) + " уровней");
    }
    switch (xmlTextReaderNodeType(reader.get())) {
      case XML_READER_TYPE_ELEMENT: {
        const bool empty = xmlTextReaderIsEmptyElement(reader.get()) == 1;
        events.start(textOf(xmlTextReaderConstLocalName(reader.get())), reader.get());
        if (empty) events.end();
        break;
      }
      case XML_READER_TYPE_END_ELEMENT:
        events.end();
        break;
      case XML_READER_TYPE_TEXT:
      case XML_READER_TYPE_CDATA:
      case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
      case XML_READER_TYPE_WHITESPACE:
        events.text(textOf(xmlTextReaderConstValue(reader.get())));
        break;
      default:  // entity references stay unexpanded; comments, instructions, the DOCTYPE
        break;
    }
  }
  // A charset the parser has no converter for (built without iconv, as for Windows): the text
  // turned into UTF-8 by the system's converter, then read as UTF-8.
  if (status != 0 && error.code == XML_ERR_UNSUPPORTED_ENCODING && !convertedHere && !events.sawRoot() &&
      !error.charset.empty()) {
    if (const std::optional<std::string> text = convertToUtf8(bytes, error.charset)) {
      readXbel(*text, sink, true);
      return;
    }
  }
  if (status != 0 || !error.message.empty()) {
    const std::string where = error.line > 0 ? " в строке " + std::to_string(error.line) : std::string();
    const std::string what = error.message.empty() ? std::string("документ оборван") : error.message;
    if (!events.sawRoot() && !startsAsXbel(bytes))
      throw FormatError("не XBEL: не читается как XML" + where + " (" + what + ")");
    throw UnreadableError("XML испорчен" + where + ": " + what);
  }
  if (!events.sawRoot()) throw FormatError("не XBEL: нет элемента <xbel>");
}

}  // namespace

void readXbelBookmarks(std::string_view bytes, BookmarkSink& sink) {
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;
  readXbel(bytes, sink, false);
}

namespace {

class XbelReader : public Reader {
 public:
  std::string_view name() const override { return "XBEL"; }
  bool recognises(std::string_view head) const override { return startsAsXbel(head); }
  void read(const std::filesystem::path& file, BookmarkSink& sink) const override {
    parseWholeFile(file, [&sink](std::string bytes) { readXbelBookmarks(bytes, sink); });
  }
};

}  // namespace

std::unique_ptr<Reader> makeXbelReader() { return std::make_unique<XbelReader>(); }

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
// The Netscape bookmark file is tag soup: <DT> and <p> are never closed, a folder is a
// <DT><H3> followed by a <DL>, titles and addresses carry character references. libxml2's HTML
// parser builds the tree; the walk below follows the <DL> nesting in document order, which
// every exporter's soup keeps.
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>
#include <optional>
#include <vector>

#include "charset.h"
#include "formats.h"
#include "site/text_encoding.h"

namespace trevanto::import {
namespace {

constexpr int kParseOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                              HTML_PARSE_IGNORE_ENC | HTML_PARSE_COMPACT;
constexpr std::size_t kDoctypeWithin = 1024;
constexpr std::size_t kCharsetHeadBytes = 8192;

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

Doc parseHtml(std::string_view text, const char* encoding) {
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;
  if (text.size() > static_cast<std::size_t>(INT_MAX)) throw FormatError("файл слишком велик");
  return Doc(htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, encoding, kParseOptions));
}

std::string_view nameOf(const xmlNode* node) {
  return node->name != nullptr ? std::string_view(reinterpret_cast<const char*>(node->name)) : std::string_view();
}

bool isElement(const xmlNode* node, std::string_view name) {
  return node->type == XML_ELEMENT_NODE && site::equalsIgnoringAsciiCase(nameOf(node), name);
}

std::optional<std::string> attribute(const xmlNode* node, std::string_view name) {
  for (const xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
    if (attr->name == nullptr || !site::equalsIgnoringAsciiCase(reinterpret_cast<const char*>(attr->name), name))
      continue;
    xmlChar* value = xmlNodeListGetString(node->doc, attr->children, 1);
    std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
  }
  return std::nullopt;
}

std::string textOf(const xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content != nullptr ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

bool isTrue(const std::optional<std::string>& value) { return value && site::equalsIgnoringAsciiCase(*value, "true"); }

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
  const std::string head = site::asciiLower(text.substr(0, kDoctypeWithin));
  return head.find("<!doctype netscape-bookmark-file-1>") != std::string::npos;
}

// A <DL> that holds <DT><H3> folders or <DT><A HREF> links, as files without the DOCTYPE line
// have it; a page of plain links has no such list.
bool hasBookmarkList(xmlNode* root) {
  bool found = false;
  int openLists = 0;
  walk(
      root,
      [&](xmlNode* node) {
        if (found) return false;
        if (isElement(node, "dl")) ++openLists;
        const bool inItem = node->parent != nullptr && isElement(node->parent, "dt");
        if (openLists > 0 && inItem && (isElement(node, "h3") || (isElement(node, "a") && attribute(node, "href"))))
          found = true;
        return true;
      },
      [&](xmlNode* node) {
        if (isElement(node, "dl")) --openLists;
      });
  return found;
}

}  // namespace

std::string declaredHtmlCharset(std::string_view bytes) {
  // Read as Latin-1, every byte stands for itself: enough to find the META in any charset
  // that keeps ASCII as it is.
  const Doc doc = parseHtml(bytes.substr(0, kCharsetHeadBytes), "ISO-8859-1");
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
          const std::string lower = site::asciiLower(*content);
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

void readNetscapeBookmarks(std::string_view bytes, BookmarkSink& sink) {
  const bool hasBom =
      bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
  const std::string text = htmlTextToUtf8(bytes, hasBom ? std::string() : declaredHtmlCharset(bytes));
  const bool doctype = hasNetscapeDoctype(text);
  const Doc doc = parseHtml(text, "UTF-8");
  xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr || (!doctype && !hasBookmarkList(root)))
    throw FormatError("не файл закладок: нет ни строки NETSCAPE-Bookmark-file-1, ни списка <DL> папок и ссылок");

  // A folder's title waits for the <DL> that holds its content.
  struct PendingFolder {
    std::string title;
    bool rootContainer = false;
  };
  std::optional<PendingFolder> pending;
  std::vector<bool> lists;  // one per open <DL>: true when it is a folder reported to the sink
  walk(
      root,
      [&](xmlNode* node) {
        if (node->type != XML_ELEMENT_NODE) return false;
        if (isElement(node, "dl")) {
          const bool folder = pending && !pending->rootContainer;
          if (folder) sink.beginFolder(pending->title);
          lists.push_back(folder);
          pending.reset();
          return true;
        }
        if (isElement(node, "h3")) {
          // The toolbar and "other" folders of browsers' exports are root containers.
          pending = PendingFolder{textOf(node), isTrue(attribute(node, "personal_toolbar_folder")) ||
                                                    isTrue(attribute(node, "unfiled_bookmarks_folder"))};
          return false;
        }
        if (isElement(node, "a")) {
          pending.reset();  // a folder without a <DL> is empty
          sink.bookmark(textOf(node), attribute(node, "href").value_or(std::string()));
          return false;
        }
        return true;
      },
      [&](xmlNode* node) {
        if (!isElement(node, "dl") || lists.empty()) return;
        if (lists.back()) sink.endFolder();
        lists.pop_back();
      });
}

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
// Fuzzes the page writers: whatever name or address goes in, each line is one well-formed
// element, its text and its href read back as what went in, and nothing from the input can
// end the attribute, open a tag or give the link a scheme of its own.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/charset.h"
#include "base/text.h"
#include "fuzz_support.h"
#include "site/page_format.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"

namespace {

using namespace trevanto::base;
using namespace trevanto::site;
using trevanto::fuzz::ByteReader;
using trevanto::fuzz::check;

struct Element {
  std::string href;
  std::string text;
};

// Splits a line of the form open + href + middle + text + close; fails the property when the
// line has any other shape.
Element parseElement(std::string_view line, std::string_view open, std::string_view middle, std::string_view close) {
  check(line.find_first_of("\r\n") == std::string_view::npos, "a written line holds no line end", line);
  check(line.starts_with(open) && line.ends_with(close), "a written line is one element", line);
  std::string_view rest = line.substr(open.size(), line.size() - open.size() - close.size());
  const std::size_t quote = rest.find('"');
  check(quote != std::string_view::npos && rest.substr(quote).starts_with(middle), "the href ends where it should",
        line);
  Element element{std::string(rest.substr(0, quote)), std::string(rest.substr(quote + middle.size()))};
  for (char c : element.href) {
    const auto b = static_cast<unsigned char>(c);
    check(b >= 0x20 && b < 0x7F && c != '"' && c != '<' && c != '>', "the href holds printable ASCII only", line);
  }
  check(element.text.find_first_of("<>\"") == std::string::npos, "the text holds no markup", line);
  return element;
}

// The text of an element as a reader sees it: character references decoded, Windows-1251
// bytes as their characters.
std::string textAsRead(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += windows1251ToUtf8(text.substr(i, 1));
      continue;
    }
    const std::size_t end = text.find(';', i);
    check(end != std::string_view::npos, "every '&' in a text starts a reference", text);
    const std::string_view name = text.substr(i + 1, end - i - 1);
    if (name == "amp") {
      out += '&';
    } else if (name == "lt") {
      out += '<';
    } else if (name == "gt") {
      out += '>';
    } else if (name == "quot") {
      out += '"';
    } else {
      check(name.size() >= 2 && name[0] == '#' && name.find_first_not_of("0123456789", 1) == std::string_view::npos,
            "a reference in a text is a known one", text);
      const unsigned long code = std::stoul(std::string(name.substr(1)));
      check(code > 0 && code <= 0x10FFFF, "a numeric reference names a character", text);
      trevanto::fuzz::appendUtf8(out, static_cast<char32_t>(code));
    }
    i = end;
  }
  return out;
}

// The file a browser asks for when it follows a relative href from the menu page, or empty
// when the href is not a reference to a file beside the page at all.
std::string fileAsRequested(std::string_view href) {
  std::string url = trevanto::fuzz::attributeValueAsRead(href);
  if (!trevanto::fuzz::schemeAsRead(url).empty()) return {};
  std::size_t begin = 0;
  while (begin < url.size() && static_cast<unsigned char>(url[begin]) <= 0x20) ++begin;
  std::size_t end = url.size();
  while (end > begin && static_cast<unsigned char>(url[end - 1]) <= 0x20) --end;
  std::string path;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = url[i];
    if (c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '?' || c == '#') break;  // the rest is no part of the file's name
    path.push_back(c == '\\' ? '/' : c);
  }
  if (path.find('/') != std::string::npos) return {};
  return trevanto::fuzz::percentDecode(path);
}

bool isOrdinary(std::string_view name) {
  for (char c : name) {
    if (!trevanto::fuzz::isAsciiAlnum(c) && c != ' ' && c != '-' && c != '_' && c != '.' && c != '(' && c != ')')
      return false;
  }
  return !name.empty() && name.front() != ' ';
}

void checkLinkLine(std::string_view addressBytes, std::string_view rawName) {
  const std::string address = decodeShortcutText(addressBytes);  // readShortcutAddress gives UTF-8 like this
  const std::string written = addressForPage(address);
  const std::string line = linkLine(written, rawName);
  const Element element = parseElement(line, "<a href=\"", "\" target=index>", "</a><br>");
  check(element.href == written, "the href is the address as written", line);
  check(trevanto::fuzz::percentDecode(element.href) == trevanto::fuzz::percentDecode(address),
        "the href names the address that went in", line);
  if (!isUnsafeAddress(address)) {
    check(!trevanto::fuzz::schemeRunsCode(trevanto::fuzz::schemeAsRead(element.href)), "a written link never runs code",
          line);
  }
  check(textAsRead(element.text) == fileNameToUtf8(rawName), "the link's text reads as its name", line);
  if (isOrdinary(rawName) && isOrdinary(address)) {
    check(line == "<a href=\"" + address + "\" target=index>" + std::string(rawName) + "</a><br>",
          "ordinary names and addresses are written as they are", line);
  }
}

void checkMenuLine(std::string_view rawName) {
  const std::string line = menuLine(rawName);
  const Element element = parseElement(line, "<a href=\"", "\"target=Frame3>", "</a><br />");
  check(fileAsRequested(element.href) == std::string(rawName) + ".html", "the menu entry finds its page", line);
  check(textAsRead(element.text) == fileNameToUtf8(rawName), "the menu entry's text reads as its name", line);
  if (isOrdinary(rawName)) {
    check(line == "<a href=\"" + std::string(rawName) + ".html\"target=Frame3>" + std::string(rawName) + "</a><br />",
          "ordinary section names are written as they are", line);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteReader input(data, size);
  const std::string_view name = input.textUntil('\0');
  const std::string_view address = input.rest();
  // A name from the file system holds neither '/' nor NUL.
  if (name.empty() || name.find('/') != std::string_view::npos) return 0;
  checkLinkLine(address, name);
  checkMenuLine(name);
  return 0;
}

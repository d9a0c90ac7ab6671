// SPDX-License-Identifier: MIT
#include "export_duplicates.h"

#include <cctype>

#include "address/address_identity.h"
#include "base/charset.h"
#include "base/text.h"
#include "base/whole_files.h"
#include "page_format.h"
#include "text_encoding.h"

namespace trevanto::site {
namespace {

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<title>Одна ссылка в нескольких разделах</title>
<style>
  body { font: 16px/1.45 Arial, "Liberation Sans", sans-serif; margin: 0 auto; max-width: 62em;
         padding: 12px 16px 40px; color: #1b1b1b; background: #fff; }
  h1 { font-size: 1.5em; margin: 0.4em 0; }
  ol { padding-left: 1.6em; }
  ol > li { margin: 0 0 1em; overflow-wrap: anywhere; }
  ul { list-style: none; padding: 0 0 0 0.8em; margin: 0.2em 0 0; }
  .note, .section { color: #4d4d4d; }
  .section::after { content: " \203A"; }
  a { color: #0645ad; }
  @media (prefers-color-scheme: dark) {
    body { color: #e6e6e6; background: #181818; }
    .note, .section { color: #b8b8b8; }
    a { color: #8ab4f8; }
    a:visited { color: #c9a4f9; }
  }
</style>
</head>
<body>
<h1>Одна ссылка в нескольких разделах</h1>
)";

// The one-page view's anchor of a section by its page's name, as the README gives it
// ("index.html#Microsoft%20Websites"): the name less ".html", as UTF-8, percent-encoded.
std::string sectionReference(std::string_view pageName) {
  if (pageName.ends_with(kPageSuffix)) pageName.remove_suffix(kPageSuffix.size());
  std::string reference = "index.html#";
  for (const char c : base::fileNameToUtf8(pageName)) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 && byte < 0x80) {
      reference.push_back(c);
    } else if (c == '-' || c == '.' || c == '_' || c == '~') {
      reference.push_back(c);
    } else {
      base::appendPercentEncoded(reference, byte);
    }
  }
  return reference;
}

}  // namespace

void DuplicateFinder::beginSection(const MenuSection& section) { sections_.push_back(section); }

void DuplicateFinder::link(const PageLink& link) {
  const std::size_t section = sections_.size() - 1;
  const auto [found, added] = byIdentity_.emplace(address::addressIdentity(link.address), addresses_.size());
  if (added) addresses_.push_back({found->first, {}, 0});
  Address& entry = addresses_[found->second];
  if (!entry.places.empty() && entry.places.back().section == section) return;  // once per section
  entry.places.push_back({section, link.name, link.address});
  ++entry.sections;
}

std::size_t DuplicateFinder::count() const {
  std::size_t count = 0;
  for (const Address& entry : addresses_) count += entry.sections > 1 ? 1 : 0;
  return count;
}

std::string DuplicateFinder::page() const {
  std::string page(kHead);
  const std::size_t found = count();
  if (found == 0) {
    page += "<p>Ни одна ссылка не стоит в нескольких разделах.</p>\n";
  } else {
    page += "<p class=\"note\">Адресов в нескольких разделах: " + std::to_string(found) +
            ". Одинаковыми считаются адреса, ведущие в одно место, как бы они ни были записаны. "
            "Здесь ничего не удаляется: уберите лишний ярлык в папке раздела, если он не нужен.</p>\n<ol>\n";
    for (const Address& entry : addresses_) {
      if (entry.sections < 2) continue;
      const std::string& shown = entry.identity;
      page += "<li><a href=\"" + htmlTextUtf8(shown) + "\" target=\"_blank\" rel=\"noopener noreferrer\">" +
              htmlTextUtf8(shown) + "</a>\n<ul>\n";
      for (const Place& place : entry.places) {
        const MenuSection& section = sections_[place.section];
        page += "<li><a class=\"section\" href=\"" + sectionReference(section.pageName) + "\">" + htmlTextUtf8(section.name) + "</a> " + htmlTextUtf8(place.name.empty() ? place.address : place.name);
        if (place.address != shown) page += " <span class=\"note\">(" + htmlTextUtf8(place.address) + ")</span>";
        page += "</li>\n";
      }
      page += "</ul></li>\n";
    }
    page += "</ol>\n";
  }
  page += "<p><a href=\"index.html\">Все ссылки на одной странице</a></p>\n</body>\n</html>\n";
  return page;
}

std::string DuplicateFinder::script() const {
  const std::size_t found = count();
  if (found == 0) return "// No address stands in more than one section.\n";
  return "(function () {\n"
         "  var p = document.getElementById('duplicates');\n"
         "  if (!p) return;\n"
         "  var a = p.getElementsByTagName('a')[0];\n"
         "  if (a) a.appendChild(document.createTextNode(': " +
         std::to_string(found) +
         "'));\n"
         "  p.style.display = '';\n"
         "})();\n";
}

void DuplicateFinder::writePage(const std::filesystem::path& path) const {
  base::FileReplacement file(path);
  file.write(page());
  file.commit();
}

void DuplicateFinder::writeScript(const std::filesystem::path& path) const {
  base::FileReplacement file(path);
  file.write(script());
  file.commit();
}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
#include "export_views.h"

#include <algorithm>
#include <set>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/files.h"
#include "base/text.h"
#include "base/whole_files.h"
#include "page_format.h"
#include "text_encoding.h"

namespace trevanto::site {
namespace {

// The ids index-page.html gives its own elements: no section's anchor takes one of them.
constexpr std::string_view kPageIds[] = {"search", "q", "results", "sections", "sections-title"};

// The text of a string literal without its quotes: the fields of a line never hold a tab or a
// line break (names have their control characters as blanks, addresses percent-encoded).
std::string literalText(std::string_view utf8) {
  std::string quoted = javaScriptString(utf8);
  return quoted.substr(1, quoted.size() - 2);
}

// A hash of a file's content, for its name: FNV-1a, 64 bits, as 16 hexadecimal digits.
std::string contentHash(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) out[static_cast<std::size_t>(i)] = kHex[hash & 0xF];
  return out;
}

// A character as the search folds it (lower case, yo as ye), when a word of a query may hold it
// and the index looks it up; 0 for any other, which ends a run of letters. Lower-casing turns no
// other character into one of these but the Kelvin sign and the capital I with a dot (which
// becomes i and a combining dot).
char16_t indexedUnit(char32_t cp) {
  if (cp > 0x20 && cp < 0x7F) return static_cast<char16_t>(cp >= 'A' && cp <= 'Z' ? cp + 0x20 : cp);
  if (cp >= 0x410 && cp <= 0x42F) return static_cast<char16_t>(cp + 0x20);
  if (cp >= 0x430 && cp <= 0x44F) return static_cast<char16_t>(cp);
  if (cp == 0x401 || cp == 0x451) return 0x435;
  if (cp == 0x212A) return 'k';
  return 0;
}

// An address with its percent-encoded bytes decoded, as a browser reads it; a '%' not followed
// by two hexadecimal digits stays as it is (the search then reads no decoded address at all,
// and the index holding more than the search needs is harmless).
std::string percentDecodedAddress(std::string_view address) { return base::percentDecoded(address); }

// The index of three letters in one of the files it is spread over; search.js computes the same.
std::size_t gramFile(char16_t a, char16_t b, char16_t c) {
  return ((static_cast<std::size_t>(a) * 31 + b) * 31 + c) % kSearchGramFiles;
}

}  // namespace

std::string sectionAnchor(std::string_view pageName) {
  if (pageName.ends_with(kPageSuffix)) pageName.remove_suffix(kPageSuffix.size());
  std::string anchor = base::fileNameToUtf8(pageName);
  // An id holds no blank; control characters cannot be typed into an address.
  for (char& c : anchor) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) c = '_';
  }
  return anchor;
}

bool pageFollowsTemplate(const std::filesystem::path& exportFolder, std::string_view pageTemplate) {
  const std::size_t mark = pageTemplate.find(kIndexPageSectionsMark);
  if (mark == std::string_view::npos) return false;
  std::string page;
  try {
    page = base::readWholeFile(exportFolder / std::string(kIndexPageName), 256 * 1024 * 1024);
  } catch (const base::FileError&) {
    return false;
  }
  return page.starts_with(pageTemplate.substr(0, mark)) &&
         page.ends_with(pageTemplate.substr(mark + kIndexPageSectionsMark.size()));
}

bool isSearchPartName(std::string_view name) {
  return (name.starts_with(kSearchPartPrefix) || name.starts_with(kSearchGramsPrefix)) && name.ends_with(".js");
}

bool isExportViewsLeftover(std::string_view name) {
  return (name.starts_with('.') &&
          (name.substr(1).starts_with(kSearchPartPrefix) || name.substr(1).starts_with(kSearchGramsPrefix))) ||
         base::isTemporaryFileFor(name, kIndexPageName);
}

ExportViews::ExportViews(const std::filesystem::path& exportFolder, std::string pageTemplate)
    : folder_(exportFolder), pageTemplate_(std::move(pageTemplate)) {}

ExportViews::~ExportViews() {
  if (committed_) return;
  for (const auto& part : written_) base::removeFile(part);
}

void ExportViews::beginSection(const MenuSection& section) { sections_.push_back({section.name, section.pageName, 0}); }

void ExportViews::link(const PageLink& link) {
  part_ += literalText(link.name);
  part_ += "\\t";
  part_ += literalText(link.address);
  part_ += "\\n";
  addGrams(link.name);
  addGrams(link.address);
  if (link.address.find('%') != std::string::npos) addGrams(percentDecodedAddress(link.address));
  ++partLinkCount_;
  ++sections_.back().links;
  if (part_.size() >= kSearchPartBytes) endPart();
}

void ExportViews::endSection() {}

void ExportViews::addGrams(std::string_view utf8) {
  const auto part = static_cast<std::uint32_t>(parts_.size());
  std::uint64_t window = 0;  // the last three characters, 16 bits each
  int run = 0;               // how many of them are indexed characters
  const auto add = [&](char16_t unit) {
    if (unit == 0) {
      run = 0;
      return;
    }
    window = ((window << 16) | unit) & 0xFFFFFFFFFFFFULL;
    if (++run < 3) return;
    // Most runs of three recur within a part: a small table of those already taken skips the map.
    Taken& taken = taken_[(window * 0x9E3779B97F4A7C15ULL) >> (64 - kTakenBits)];
    if (taken.gram == window && taken.part == part) return;
    taken = {window, part};
    std::vector<std::uint32_t>& parts = grams_[window];
    if (parts.empty() || parts.back() != part) parts.push_back(part);
  };
  for (std::size_t pos = 0; pos < utf8.size();) {
    char32_t cp = 0;
    const std::size_t length = base::decodeUtf8At(utf8, pos, cp);
    if (length == 0) {
      add(0);
      ++pos;
      continue;
    }
    pos += length;
    add(indexedUnit(cp));
    if (cp == 0x130) {  // lower-cased: i and a combining dot
      add('i');
      add(0);
    }
  }
}

std::string ExportViews::writeNamed(std::string_view prefix, std::string_view key, const std::string& text) {
  const std::string hash = contentHash(text);
  const std::string name = std::string(prefix) + hash + ".js";
  kept_.insert(name);
  const std::filesystem::path path = folder_ / name;
  if (base::isRegularFile(path)) return hash;  // the same content
  base::FileReplacement file(path);
  file.write("(this.");
  file.write(key);
  file.write(" || (this.");
  file.write(key);
  file.write(" = {}))[\"");
  file.write(hash);
  file.write("\"] =\n\"");
  file.write(text);
  file.write("\";\n");
  written_.push_back(path);
  file.commit();
  return hash;
}

void ExportViews::endPart() {
  parts_.emplace_back(writeNamed(kSearchPartPrefix, "trevantoSearchParts", part_), partLinkCount_);
  part_.clear();
  partLinkCount_ = 0;
}

// Each file of the index: a line per three letters, "\nABC" and the parts that hold them in
// base 36, single or as ranges: "\nabc0,3-9,1a".
void ExportViews::writeGrams() {
  std::vector<std::vector<std::pair<std::uint64_t, const std::vector<std::uint32_t>*>>> files(kSearchGramFiles);
  for (const auto& [gram, parts] : grams_) {
    const auto unit = [gram = gram](int i) { return static_cast<char16_t>((gram >> (16 * (2 - i))) & 0xFFFF); };
    files[gramFile(unit(0), unit(1), unit(2))].emplace_back(gram, &parts);
  }
  const auto base36 = [](std::uint32_t n) {
    std::string digits;
    do {
      digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36]);
      n /= 36;
    } while (n != 0);
    return digits;
  };
  for (auto& file : files) {
    std::sort(file.begin(), file.end());
    std::string text;
    for (const auto& [gram, parts] : file) {
      std::string letters;
      for (int i = 2; i >= 0; --i) base::appendUtf8(letters, static_cast<char32_t>((gram >> (16 * i)) & 0xFFFF));
      text += "\\n" + literalText(letters);
      for (std::size_t i = 0; i < parts->size();) {
        std::size_t j = i;
        while (j + 1 < parts->size() && (*parts)[j + 1] == (*parts)[j] + 1) ++j;
        if (i != 0) text += ',';
        text += base36((*parts)[i]);
        if (j > i) text += "-" + base36((*parts)[j]);
        i = j + 1;
      }
    }
    gramFiles_.push_back(writeNamed(kSearchGramsPrefix, "trevantoSearchGrams", text + "\\n"));
  }
}

std::string ExportViews::searchIndex() const {
  std::string out =
      "// The sections of the site's pages and the parts that hold their links, for the search and\n"
      "// the one-page view; rewritten by every completed run.\n"
      "var trevantoSearchIndex = {\"parts\": [";
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    out += (i ? ",\n[\"" : "\n[\"") + parts_[i].first + "\"," + std::to_string(parts_[i].second) + "]";
  }
  out += "],\n\"grams\": [";
  for (std::size_t i = 0; i < gramFiles_.size(); ++i) out += (i ? ",\"" : "\"") + gramFiles_[i] + "\"";
  out += "],\n\"sections\": [";
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& s = sections_[i];
    out += i ? ",\n" : "\n";
    out += "[" + javaScriptString(s.name) + "," + std::to_string(s.links) + "," +
           javaScriptString(fileReferenceForPage(s.pageName)) + "]";
  }
  out += "]};\n";
  return out;
}

std::string ExportViews::sectionList() const {
  std::set<std::string, std::less<>> taken(std::begin(kPageIds), std::end(kPageIds));
  std::string out;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& s = sections_[i];
    std::string anchor = sectionAnchor(s.pageName);
    if (taken.contains(anchor)) {
      int n = 2;
      while (taken.contains(anchor + "-" + std::to_string(n))) ++n;
      anchor += "-" + std::to_string(n);
    }
    taken.insert(anchor);
    out += "<li id=\"" + htmlTextUtf8(anchor) + "\" data-section=\"" + std::to_string(i) +
           "\"><a class=\"section\" aria-expanded=\"false\" href=\"../" +
           htmlTextUtf8(fileReferenceForPage(s.pageName)) + "\">" + htmlTextUtf8(s.name) +
           "</a> <span class=\"count\">" + std::to_string(s.links) + "</span></li>\n";
  }
  return out;
}

std::vector<std::string> ExportViews::files() const {
  std::vector<std::string> out(kept_.begin(), kept_.end());
  out.emplace_back(kIndexPageName);
  return out;
}

void ExportViews::commit() {
  if (!part_.empty() || parts_.empty()) endPart();
  writeGrams();
  const std::size_t mark = pageTemplate_.find(kIndexPageSectionsMark);

  base::FileReplacement index(folder_ / std::string(kSearchDataFileName));
  index.write(searchIndex());
  base::FileReplacement page(folder_ / std::string(kIndexPageName));
  page.write(std::string_view(pageTemplate_).substr(0, mark));
  page.write(sectionList());
  if (mark != std::string::npos)
    page.write(std::string_view(pageTemplate_).substr(mark + kIndexPageSectionsMark.size()));
  index.commit();
  committed_ = true;
  page.commit();

  // The parts of earlier exports: no index names them any longer.
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ignored)) {
    const std::string name = entry.path().filename().string();
    if (isSearchPartName(name) && !kept_.contains(name)) base::removeFile(entry.path());
  }
}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
#include "export_views.h"

#include <algorithm>
#include <set>
#include <unordered_set>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/files.h"
#include "base/path_text.h"
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

// An indexed character a byte each, so that runs of up to eight fit a 64-bit key: printable ASCII
// as itself, the Russian lower-case letters from 0x80 in their order; 0 for none.
std::uint8_t runByte(char16_t unit) {
  if (unit > 0x20 && unit < 0x7F) return static_cast<std::uint8_t>(unit);
  if (unit >= 0x430 && unit <= 0x44F) return static_cast<std::uint8_t>(0x80 + (unit - 0x430));
  return 0;
}
char16_t unitOfRunByte(std::uint8_t byte) { return byte < 0x80 ? byte : static_cast<char16_t>(0x430 + (byte - 0x80)); }

// A run's key: its bytes from the highest byte of the key down, the rest 0.
std::uint64_t runKey(const std::string& text, std::size_t at, std::size_t length) {
  std::uint64_t key = 0;
  for (std::size_t k = 0; k < length; ++k) key |= std::uint64_t{static_cast<std::uint8_t>(text[at + k])} << (56 - 8 * k);
  return key;
}
std::uint8_t runKeyByte(std::uint64_t key, std::size_t k) { return static_cast<std::uint8_t>(key >> (56 - 8 * k)); }
std::size_t runKeyLength(std::uint64_t key) {
  std::size_t length = 0;
  while (length < 8 && runKeyByte(key, length) != 0) ++length;
  return length;
}

// The file of the index that holds a run: by its first three characters (fewer for a shorter
// run, the others taken as 0); search.js computes the same.
std::size_t runFile(std::uint64_t key, std::size_t files) {
  const auto unit = [key](std::size_t k) -> std::size_t {
    const std::uint8_t byte = runKeyByte(key, k);
    return byte == 0 ? 0 : unitOfRunByte(byte);
  };
  const auto mixed = static_cast<std::uint32_t>(((unit(0) * 31 + unit(1)) * 31 + unit(2)) * 0x9E3779B1U);
  return (mixed >> 8) % files;
}

// A letter or a digit, as a byte of a run: a word begins with one that follows none.
bool isWordByte(char c) {
  const auto b = static_cast<std::uint8_t>(c);
  return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || b >= 0x80;
}
bool beginsWord(const std::string& text, std::size_t j) {
  return isWordByte(text[j]) && (j == 0 || !isWordByte(text[j - 1]));
}

std::string base36(std::uint32_t n) {
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36]);
    n /= 36;
  } while (n != 0);
  return digits;
}

// Parts in order as the index writes them: "0,3-9,1a" in base 36, single or as ranges; or, when
// shorter, "~" and a bit per part, five to a digit of base 32, the first part in the lowest bit
// of the first digit. Empty for none.
std::string partList(const std::vector<std::uint32_t>& parts) {
  std::string list;
  for (std::size_t i = 0; i < parts.size();) {
    std::size_t j = i;
    while (j + 1 < parts.size() && parts[j + 1] == parts[j] + 1) ++j;
    if (i != 0) list += ',';
    list += base36(parts[i]);
    if (j > i) list += "-" + base36(parts[j]);
    i = j + 1;
  }
  if (parts.empty()) return list;
  const std::size_t digits = parts.back() / 5 + 1;
  if (digits + 1 < list.size()) {
    std::string bits(digits, 0);
    for (std::uint32_t part : parts) bits[part / 5] = static_cast<char>(bits[part / 5] | (1 << (part % 5)));
    for (char& digit : bits) digit = "0123456789abcdefghijklmnopqrstuv"[static_cast<unsigned char>(digit)];
    list = "~" + bits;
  }
  return list;
}

// Whether a listed run (its parts, marked as in ExportViews::runs_) has its runs one longer
// listed where they begin a word: when it stands in more than kCommonRunParts parts; or in a few,
// where a word begins in some and inside a word in others, so that a search whose links where
// words begin are written out tells apart the parts where the longer run stands inside a word.
bool leadsOn(const std::vector<std::uint32_t>& marked) {
  if (marked.size() > kCommonRunParts) return true;
  bool inWords = false;
  bool atBeginnings = false;
  for (std::uint32_t value : marked) (value & 1U ? inWords : atBeginnings) = true;
  return inWords && atBeginnings;
}

// A small table of the keys met last, by a hash of the key: most runs recur within a part, so
// most lookups of the map are skipped.
template <typename Value>
class RecentKeys {
 public:
  struct Entry {
    std::uint64_t key = 0;  // 0 is no run
    Value value{};
  };
  Entry& at(std::uint64_t key) { return entries_[(key * 0x9E3779B97F4A7C15ULL) >> (64 - kBits)]; }

 private:
  static constexpr int kBits = 12;
  std::vector<Entry> entries_ = std::vector<Entry>(std::size_t{1} << kBits);
};

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

namespace {
bool isSearchFileStart(std::string_view name) {
  return name.starts_with(kSearchPartPrefix) || name.starts_with(kSearchRunsPrefix) ||
         name.starts_with(kSearchGramsPrefix);
}
}  // namespace

bool isSearchPartName(std::string_view name) { return isSearchFileStart(name) && name.ends_with(".js"); }

bool isExportViewsLeftover(std::string_view name) {
  return (name.starts_with('.') && isSearchFileStart(name.substr(1))) || base::isTemporaryFileFor(name, kIndexPageName) ||
         base::isTemporaryFileFor(name, kCollectionPageName);
}

ExportViews::ExportViews(const std::filesystem::path& exportFolder, std::string pageTemplate, std::string script,
                         std::optional<std::string> linkHealth)
    : folder_(exportFolder),
      pageTemplate_(std::move(pageTemplate)),
      script_(std::move(script)),
      linkHealth_(std::move(linkHealth)) {
  partRuns_.emplace_back();
}

ExportViews::~ExportViews() {
  if (committed_) return;
  for (const auto& part : written_) base::removeFile(part);
}

void ExportViews::beginSection(const MenuSection& section) { sections_.push_back({section.name, section.pageName, 0}); }

void ExportViews::link(const PageLink& link) {
  LinkAt at;
  at.part = static_cast<std::uint32_t>(parts_.size());
  at.textBegin = part_.size();
  at.runsBegin = partRuns_.back().size();
  part_ += literalText(link.name);
  part_ += "\\t";
  part_ += literalText(link.address);
  at.textEnd = part_.size();
  part_ += "\\n";
  addRuns(link.name);
  addRuns(link.address);
  if (link.address.find('%') != std::string::npos) addRuns(percentDecodedAddress(link.address));
  at.runsEnd = partRuns_.back().size();
  links_.push_back(at);
  ++partLinkCount_;
  ++sections_.back().links;
  if (part_.size() >= kSearchPartBytes) endPart();
}

void ExportViews::endSection() {}

void ExportViews::addRuns(std::string_view utf8) {
  std::string& runs = partRuns_.back();
  const auto add = [&runs](char16_t unit) { runs.push_back(static_cast<char>(runByte(unit))); };
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
  add(0);
}

std::string ExportViews::writeNamed(std::string_view prefix, std::string_view key, const std::string& text) {
  const std::string hash = contentHash(text);
  const std::string name = std::string(prefix) + hash + ".js";
  kept_.insert(name);
  const std::filesystem::path path = folder_ / base::pathOf(name);
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
  partTexts_.push_back(std::move(part_));
  part_.clear();
  partLinkCount_ = 0;
  partRuns_.emplace_back();
}

// Lists every run of one, two and three characters with the parts it stands in; then, a length
// at a time up to kLongestRun, the runs one longer of the runs that lead on (see leadsOn: most
// stand in more than kCommonRunParts parts), where such a run begins a word somewhere (a letter or digit after no
// letter or digit): a search looks its words up from where they begin, so a common beginning
// leads on to a rarer word, and a run that begins no word costs the index nothing. A run listed
// is listed with every part it stands in, wherever it stands. Parts are taken in their order, so
// a run's list of parts grows at its end.
void ExportViews::indexRuns() {
  const auto partCount = static_cast<std::uint32_t>(parts_.size());
  RecentKeys<std::uint32_t> taken;
  // part * 2, + 1 once the run is met where no word begins.
  const auto add = [&](std::uint64_t key, std::uint32_t part, bool inWord) {
    const std::uint32_t value = part << 1 | (inWord ? 1U : 0U);
    auto& recent = taken.at(key);
    if (recent.key == key && (recent.value == value || recent.value == (value | 1U))) return;
    std::vector<std::uint32_t>& parts = runs_[key];
    if (parts.empty() || (parts.back() >> 1) != part) parts.push_back(value);
    else parts.back() |= value & 1U;
    recent = {key, parts.back()};
  };
  for (std::uint32_t p = 0; p < partCount; ++p) {
    const std::string& text = partRuns_[p];
    for (std::size_t j = 0; j < text.size(); ++j) {
      const bool inWord = !beginsWord(text, j);
      for (std::size_t k = 0; k < 3 && j + k < text.size() && text[j + k] != 0; ++k) add(runKey(text, j, k + 1), p, inWord);
    }
  }
  RecentKeys<std::int8_t> known;  // 1: common, -1: not
  const auto isCommon = [&](std::uint64_t key) {
    auto& recent = known.at(key);
    if (recent.key != key) {
      const auto listed = runs_.find(key);
      recent = {key, static_cast<std::int8_t>(listed != runs_.end() && leadsOn(listed->second) ? 1 : -1)};
    }
    return recent.value > 0;
  };
  // Where a run of the length reached begins that is listed, common, and goes on.
  std::vector<std::vector<bool>> growing(partCount);
  for (std::size_t length = 3; length < kLongestRun; ++length) {
    std::unordered_set<std::uint64_t> longer;  // the runs one longer to list
    for (std::uint32_t p = 0; p < partCount; ++p) {
      const std::string& text = partRuns_[p];
      std::vector<bool>& at = growing[p];
      if (length == 3) at.assign(text.size(), true);
      for (std::size_t j = 0; j < text.size(); ++j) {
        if (!at[j]) continue;
        const bool goesOn = j + length < text.size() && text[j + length] != 0 && text[j] != 0 &&
                            (length > 3 || (text[j + 1] != 0 && text[j + 2] != 0));
        at[j] = goesOn && isCommon(runKey(text, j, length));
        if (at[j] && beginsWord(text, j)) longer.insert(runKey(text, j, length + 1));
      }
    }
    if (longer.empty()) break;
    RecentKeys<std::int8_t> chosen;  // 1: listed, -1: not
    for (std::uint32_t p = 0; p < partCount; ++p) {
      const std::string& text = partRuns_[p];
      std::vector<bool>& at = growing[p];
      for (std::size_t j = 0; j < text.size(); ++j) {
        if (!at[j]) continue;
        const std::uint64_t key = runKey(text, j, length + 1);
        auto& recent = chosen.at(key);
        if (recent.key != key) recent = {key, static_cast<std::int8_t>(longer.contains(key) ? 1 : -1)};
        if (recent.value > 0) add(key, p, !beginsWord(text, j));
        else at[j] = false;
      }
    }
  }
}

// The links where a run begins a word (a letter or digit after none), for the runs that begin
// words in few links: a length at a time, the runs that begin a word in more than
// kWrittenOutLinks links lead on to their runs one longer. A run of up to three is written out
// whenever it begins a word in few enough links, a longer one where the run one shorter begins
// a word in too many: so each beginning of a word in a link is written out about once. Only a
// run the index lists, whose links stand in more than kCommonRunParts parts (else the parts
// are as few to read), is written out.
void ExportViews::indexWordBeginnings() {
  struct Count {
    std::uint32_t links = 0;
    std::uint32_t lastLink = 0;
    std::uint32_t parts = 0;
    std::uint32_t lastPart = 0;
    std::vector<std::uint32_t> found;  // while no more than kWrittenOutLinks
  };
  std::unordered_set<std::uint64_t> common;  // the runs of the length before that lead on
  for (std::size_t length = 1; length <= kLongestRun; ++length) {
    std::unordered_map<std::uint64_t, Count> counts;
    for (std::uint32_t l = 0; l < links_.size(); ++l) {
      const LinkAt& link = links_[l];
      const std::string& text = partRuns_[link.part];
      for (std::size_t j = link.runsBegin; j + length <= link.runsEnd; ++j) {
        if (!beginsWord(text, j)) continue;
        bool whole = true;
        for (std::size_t k = 1; k < length && whole; ++k) whole = text[j + k] != 0;
        if (!whole || (length > 3 && !common.contains(runKey(text, j, length - 1)))) continue;
        Count& count = counts[runKey(text, j, length)];
        if (count.links != 0 && count.lastLink == l) continue;
        ++count.links;
        count.lastLink = l;
        if (count.parts == 0 || count.lastPart != link.part) ++count.parts;
        count.lastPart = link.part;
        if (count.links <= kWrittenOutLinks) count.found.push_back(l);
        else if (!count.found.empty()) std::vector<std::uint32_t>().swap(count.found);
      }
    }
    common.clear();
    for (auto& [key, count] : counts) {
      if (count.links > kWrittenOutLinks) common.insert(key);
      else if (count.parts > kCommonRunParts && runs_.contains(key)) writtenOut_.emplace(key, std::move(count.found));
    }
    if (length >= 3 && common.empty()) break;
  }
}

// Each file of the index: a line per run, "\nRUN\t" and the parts that hold it (see partList),
// after a "*" when runs one longer may be listed; then, when it stands in some of them only
// where words begin, "|" and the parts where it stands elsewhere (maybe none); then "+" when
// the links where it begins a word are written out: "\nabc\t*0,3-9,1a|3+". After the runs, for
// each run written out, "\u0001RUN\n" and a line per link "LINK\tNAME\tADDRESS\n", LINK its
// number in the menu's order in base 36.
void ExportViews::writeRuns() {
  indexRuns();
  indexWordBeginnings();
  partRuns_.clear();
  std::size_t fileCount = 8;
  while (fileCount < kMostRunFiles && fileCount * kLinksPerRunFile < links_.size()) fileCount *= 2;
  std::vector<std::vector<std::pair<std::uint64_t, const std::vector<std::uint32_t>*>>> files(fileCount);
  for (const auto& [key, parts] : runs_) files[runFile(key, fileCount)].emplace_back(key, &parts);
  for (auto& file : files) {
    std::sort(file.begin(), file.end());
    std::string text;
    std::string lines;
    for (const auto& [key, marked] : file) {
      const std::size_t length = runKeyLength(key);
      std::string letters;
      for (std::size_t k = 0; k < length; ++k) base::appendUtf8(letters, unitOfRunByte(runKeyByte(key, k)));
      const std::string run = literalText(letters);
      text += "\\n" + run + "\\t";
      if (length < kLongestRun && leadsOn(*marked)) text += '*';
      std::vector<std::uint32_t> parts;
      std::vector<std::uint32_t> inWords;
      for (std::uint32_t value : *marked) {
        parts.push_back(value >> 1);
        if (value & 1U) inWords.push_back(value >> 1);
      }
      text += partList(parts);
      if (inWords.size() != parts.size()) text += "|" + partList(inWords);
      const auto writtenOut = writtenOut_.find(key);
      if (writtenOut == writtenOut_.end()) continue;
      text += '+';
      lines += "\\u0001" + run + "\\n";
      for (std::uint32_t l : writtenOut->second) {
        const LinkAt& link = links_[l];
        lines += base36(l);
        lines += "\\t";
        lines.append(partTexts_[link.part], link.textBegin, link.textEnd - link.textBegin);
        lines += "\\n";
      }
    }
    runFiles_.push_back(writeNamed(kSearchRunsPrefix, "trevantoSearchRuns", text + "\\n" + lines));
  }
  runs_.clear();
  writtenOut_.clear();
}

// held: for collection.html, which holds the parts itself and needs no index of runs.
std::string ExportViews::searchIndex(bool held) const {
  std::string out =
      "// The sections of the site's pages and the parts that hold their links, for the search and\n"
      "// the one-page view; rewritten by every completed run.\n"
      "var trevantoSearchIndex = {\"parts\": [";
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    out += (i ? ",\n[\"" : "\n[\"") + parts_[i].first + "\"," + std::to_string(parts_[i].second) + "]";
  }
  out += "],\n\"runs\": [";
  for (std::size_t i = 0; i < runFiles_.size() && !held; ++i) out += (i ? ",\"" : "\"") + runFiles_[i] + "\"";
  out += "],\n\"health\": ";
  out += linkHealth_ && !held ? "1" : "0";
  out += ",\n\"sections\": [";
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& s = sections_[i];
    out += i ? ",\n" : "\n";
    out += "[" + javaScriptString(s.name) + "," + std::to_string(s.links) + "," +
           javaScriptString(fileReferenceForPage(s.pageName)) + "]";
  }
  out += "]};\n";
  return out;
}

std::string ExportViews::sectionList(bool standalone) const {
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
    const std::string href = standalone ? "#" + anchor : "../" + fileReferenceForPage(s.pageName);
    out += "<li id=\"" + htmlTextUtf8(anchor) + "\" data-section=\"" + std::to_string(i) +
           "\"><a class=\"section\" aria-expanded=\"false\" href=\"" + htmlTextUtf8(href) + "\">" +
           htmlTextUtf8(s.name) + "</a> <span class=\"count\">" + std::to_string(s.links) + "</span></li>\n";
  }
  return out;
}

std::vector<std::string> ExportViews::files() const {
  std::vector<std::string> out(kept_.begin(), kept_.end());
  out.emplace_back(kIndexPageName);
  out.emplace_back(kCollectionPageName);
  return out;
}

namespace {

// Text for a script element of the page: "</" never ends it early. The data and the marks are
// JavaScript whose "</" stands only in strings, where "<\/" reads the same.
std::string inlineScript(std::string_view script) {
  std::string out;
  out.reserve(script.size());
  for (std::size_t i = 0; i < script.size(); ++i) {
    out.push_back(script[i]);
    if (script[i] == '<' && i + 1 < script.size() && script[i + 1] == '/') out.push_back('\\');
  }
  return out;
}

// The part of the frame from `from` on with `element` replaced by `by`; when the frame does not
// hold it, `by` goes before </body>.
void replaceElement(std::string& page, std::string_view element, const std::string& by) {
  const std::size_t at = page.find(element);
  if (at != std::string::npos) {
    page.replace(at, element.size(), by);
    return;
  }
  const std::size_t end = page.rfind("</body>");
  page.insert(end == std::string::npos ? page.size() : end, by);
}

}  // namespace

// export/index.html as one file: its sections linking to their own anchors, the note for a
// browser without JavaScript about this file, and the data, the marks and the search written into it.
void ExportViews::writeCollection() {
  const std::size_t mark = pageTemplate_.find(kIndexPageSectionsMark);
  std::string head = pageTemplate_.substr(0, mark);
  std::string tail = mark == std::string::npos ? std::string() : pageTemplate_.substr(mark + kIndexPageSectionsMark.size());
  const std::size_t noscript = head.find("<noscript>");
  const std::size_t noscriptEnd = head.find("</noscript>");
  if (noscript != std::string::npos && noscriptEnd != std::string::npos && noscriptEnd > noscript) {
    head.replace(noscript, noscriptEnd + 11 - noscript,
                 "<noscript><p class=\"note\">Разделы и поиск этой страницы работают с JavaScript.</p></noscript>");
  }
  std::string data = "<script>\n" + searchIndex(true);
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    data += "(this.trevantoSearchParts || (this.trevantoSearchParts = {}))[\"" + parts_[i].first + "\"] =\n\"";
    data += partTexts_[i];
    data += "\";\n";
  }
  if (linkHealth_ && !linkHealth_->empty()) data += inlineScript(*linkHealth_) + "\n";
  data += "</script>";
  replaceElement(tail, "<script src=\"search-data.js\"></script>", data);
  replaceElement(tail, "<script src=\"search.js\"></script>", "<script>\n" + inlineScript(script_) + "</script>");
  // Any other file the frame's scripts would load is not beside this page.
  for (std::size_t at = tail.find("<script src=\""); at != std::string::npos; at = tail.find("<script src=\"", at)) {
    const std::size_t end = tail.find("</script>", at);
    if (end == std::string::npos) break;
    std::size_t after = end + 9;
    if (after < tail.size() && tail[after] == '\n') ++after;
    tail.erase(at, after - at);
  }

  base::FileReplacement page(folder_ / std::string(kCollectionPageName));
  page.write(head);
  page.write(sectionList(true));
  page.write(tail);
  page.commit();
}

void ExportViews::commit() {
  if (!part_.empty() || parts_.empty()) endPart();
  writeRuns();
  const std::size_t mark = pageTemplate_.find(kIndexPageSectionsMark);

  base::FileReplacement index(folder_ / std::string(kSearchDataFileName));
  index.write(searchIndex(false));
  base::FileReplacement page(folder_ / std::string(kIndexPageName));
  page.write(std::string_view(pageTemplate_).substr(0, mark));
  page.write(sectionList(false));
  if (mark != std::string::npos)
    page.write(std::string_view(pageTemplate_).substr(mark + kIndexPageSectionsMark.size()));
  writeCollection();
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

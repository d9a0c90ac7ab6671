// SPDX-License-Identifier: MIT
// The views of the export that a browser opens: export/index.html, the whole collection on one
// page for any screen, and the search data that it and the start page search. Both are written
// from the same reading of the pages as the bookmark file.
//
// The search data are split so that a page loads only what it needs: search-data.js is a small
// index (the sections, their links' count and page, the parts and how many links each holds),
// the links themselves stand in parts, search-part-HASH.js, each a single string of lines
// "NAME\tADDRESS\n" in the order of the menu and the pages, and search-runs-HASH.js say which
// parts hold which runs of letters (folded as the search folds them): every letter, every two
// and three in a row, and longer runs, up to eight, where the shorter ones stand in more than a
// few parts; so that a search for a word, a number or a single letter loads the few parts that
// can hold it. Where a run begins a word in few links spread over many parts, those links are
// written out beside it, and the index says in which parts the run also stands elsewhere in a
// word: such a search reads one file of the index and no part. HASH is taken from a file's
// content: a new export never replaces a file that an earlier index names, so a page that loads while a
// run writes reads one whole export, a failed run leaves the earlier one as it was, and a part
// whose links did not change is not written again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "site_export.h"
#include "site_files.h"

namespace trevanto::site {

inline constexpr std::string_view kIndexPageName = "index.html";
// The whole collection in one file, for a phone or a mail: export/index.html with its data, its
// search and the link check's marks written into it, UTF-8, needing no file beside it.
inline constexpr std::string_view kCollectionPageName = "collection.html";
// The frame of export/index.html (head, styles, texts) in the program folder; the sections are
// written where it holds kIndexPageSectionsMark.
inline constexpr std::string_view kIndexPageTemplateName = "index-page.html";
inline constexpr std::string_view kIndexPageSectionsMark = "<!--SECTIONS-->";
inline constexpr std::string_view kSearchPartPrefix = "search-part-";
inline constexpr std::string_view kSearchRunsPrefix = "search-runs-";
// The files of the three-letter index of earlier versions: removed as parts of an earlier export.
inline constexpr std::string_view kSearchGramsPrefix = "search-grams-";
// The files the index of runs is spread over, by a run's first three letters; a search loads
// one per run of three it looks up: one per kLinksPerRunFile links, as a power of two from 8 to
// the most, so that a file stays small at any size of collection.
inline constexpr std::size_t kLinksPerRunFile = 200;
inline constexpr std::size_t kMostRunFiles = 512;
// A run that stands in more parts than this has its runs one longer listed, up to the longest.
inline constexpr std::size_t kCommonRunParts = 4;
inline constexpr std::size_t kLongestRun = 8;
// A run that begins a word in no more links than this, spread over more than kCommonRunParts
// parts, has those links written out beside it in its file of the index: a search for a word, a
// number or a letter whose links are few but spread everywhere reads them there, not in the parts.
inline constexpr std::size_t kWrittenOutLinks = 128;

// The bytes of text a part holds before the next one begins: small enough that a page opening
// one section loads little, large enough that a search loads few files.
inline constexpr std::size_t kSearchPartBytes = 128 * 1024;

// The section's anchor in export/index.html (index.html#ANCHOR): its page name without .html,
// as UTF-8.
std::string sectionAnchor(std::string_view pageName);

// True when export/index.html is there and was written from this frame of the page.
bool pageFollowsTemplate(const std::filesystem::path& exportFolder, std::string_view pageTemplate);

// Whether a file of the export folder is a part or a file of the index, of any export (the
// three-letter index of earlier versions included); or a temporary file of one, or of index.html.
bool isSearchPartName(std::string_view name);
bool isExportViewsLeftover(std::string_view name);

// Writes the search index, the parts and index.html as the sections and links are fed to it.
// Parts are written as they fill; the index and the page only on commit, which then removes the
// parts of earlier exports. Without a commit, the parts it wrote are removed again.
class ExportViews {
 public:
  // pageTemplate: the bytes of index-page.html; it must hold kIndexPageSectionsMark. script: the
  // bytes of search.js, for collection.html. linkHealth: export/link-health.js, when it is there
  // (the pages then ask for it, and collection.html holds it); empty when it could not be read.
  ExportViews(const std::filesystem::path& exportFolder, std::string pageTemplate, std::string script = {},
              std::optional<std::string> linkHealth = std::nullopt);
  ExportViews(const ExportViews&) = delete;
  ExportViews& operator=(const ExportViews&) = delete;
  ~ExportViews();

  void beginSection(const MenuSection& section);
  void link(const PageLink& link);
  void endSection();
  // Throws base::FileError naming the file.
  void commit();
  // The files of the committed export: index.html, collection.html, the parts and the files of
  // the index.
  std::vector<std::string> files() const;

 private:
  struct Section {
    std::string name;
    std::string pageName;
    std::size_t links = 0;
  };
  void endPart();
  // The characters of a name or address as the index of runs reads them, into the part's runs.
  void addRuns(std::string_view utf8);
  // Writes a file named PREFIX + the hash of text + ".js" unless it is there; returns the hash.
  std::string writeNamed(std::string_view prefix, std::string_view key, const std::string& text);
  void indexRuns();
  void indexWordBeginnings();
  void writeRuns();
  std::string searchIndex(bool held) const;
  // The sections' lines; `standalone`: each links to its own anchor, as no section page is near.
  std::string sectionList(bool standalone) const;
  void writeCollection();

  std::filesystem::path folder_;
  std::string pageTemplate_;
  std::string script_;
  std::optional<std::string> linkHealth_;
  std::vector<std::string> partTexts_;  // every part's text, for collection.html
  std::vector<Section> sections_;
  std::vector<std::pair<std::string, std::size_t>> parts_;  // the hash and links of each part
  std::vector<std::string> runFiles_;                        // the hash of each file of the index
  // The indexed characters of each part, a byte each (see runByte), runs ended by 0.
  std::vector<std::string> partRuns_;
  // Where each link stands: its part, its bytes in the part's runs, its line in the part's text.
  struct LinkAt {
    std::uint32_t part = 0;
    std::size_t runsBegin = 0;
    std::size_t runsEnd = 0;
    std::size_t textBegin = 0;
    std::size_t textEnd = 0;
  };
  std::vector<LinkAt> links_;
  // A listed run, its bytes from the highest down (so keys sort as the runs do) -> the parts,
  // each as part * 2 + 1 when the run stands there where no word begins, part * 2 when only
  // where words begin.
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> runs_;
  // A listed run -> the links (numbered in the menu's order) where it begins a word, when they
  // are written out beside it.
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> writtenOut_;
  std::set<std::string> kept_;                               // the files this export names
  std::vector<std::filesystem::path> written_;
  std::string part_;  // the text of the part being filled, escaped for a string literal
  std::size_t partLinkCount_ = 0;
  bool committed_ = false;
};

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
// The site's links read back out of its pages, for use outside the frames: export/bookmarks.html,
// a bookmark file that browsers and bookmark services import, and export/search-data.js, the
// links that the start page searches. Both are rebuilt whole from the menu and the section
// pages, so they hold the links that earlier versions wrote and those of shortcuts deleted
// since; no page is touched. They live in a folder of their own because every NAME.html at the
// top of the site may be a section's page.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trevanto::site {

inline constexpr std::string_view kExportFolderName = "export";
inline constexpr std::string_view kBookmarksFileName = "bookmarks.html";
inline constexpr std::string_view kSearchDataFileName = "search-data.js";
// The search logic of the start page: a template, copied beside the data it reads.
inline constexpr std::string_view kSearchScriptName = "search.js";
// The link check's marks for the pages, which the check writes beside the export's files.
inline constexpr std::string_view kLinkHealthScriptName = "link-health.js";

// One link line of a section page, read back.
struct PageLink {
  // The link's text as a browser shows it, as UTF-8; control characters as blanks.
  std::string name;
  // The href as a browser follows it: tabs and line breaks dropped (an earlier version's cut
  // address may run over several lines), blanks and control characters at its ends trimmed,
  // the rest as addressForPage writes it.
  std::string address;
};

// Reads the link lines of a section page fed to it line by line: a line that begins with
// <a href=" and whose href is followed by " target=index>, the link's text and </a><br> at the
// end of a line. An href may run over several lines, as earlier versions wrote cut addresses.
// Any other line (the header, anything a person added) is passed over, and so is a link
// whose address would run code.
class LinkLineReader {
 public:
  // Link lines longer than this were not written by the program; they are passed over.
  static constexpr std::size_t kMaxLinkLineBytes = 2 * 1024 * 1024;

  explicit LinkLineReader(std::function<void(const PageLink&)> onLink) : onLink_(std::move(onLink)) {}

  // line: without its line feed (a carriage return before it stays); cut: the line was longer
  // than kMaxLinkLineBytes and line holds its beginning only.
  void readLine(std::string_view line, bool cut = false);
  // The end of the page: a link line still open is passed over.
  void finish();

 private:
  void resolve();

  std::function<void(const PageLink&)> onLink_;
  std::vector<std::string> held_;  // the lines of a link line whose href is still open
  std::size_t heldBytes_ = 0;
};

// The link lines of a whole page. Throws base::FileError when it cannot be read.
void readLinkLines(const std::filesystem::path& page, const std::function<void(const PageLink&)>& onLink);

// A section as the menu page lists it.
struct MenuSection {
  std::string name;      // the menu entry's text as a browser shows it, as UTF-8
  std::string pageName;  // the section page's file name, bytes as the file system holds them
};

// The sections of the menu page's lines, in their order, each once, for each section whose page
// exists in the site folder. A line that is not a menu line, or whose page would lie outside
// the site folder or be one of the site's own pages, is passed over. No menu page, no sections.
std::vector<MenuSection> menuSections(const std::filesystem::path& siteFolder);

// Rewrites export/bookmarks.html and export/search-data.js from the site's section pages (those
// of sectionsOfSite: the menu's, then those it does not list), each through
// a temporary file and a rename, and copies the search logic from the program folder beside
// them; the folder is created when absent. Nothing is written when export/stamp shows that no
// page, menu or export file changed since the export was written; when it is written, its
// files and their names are on the disk before this returns. A site folder holding neither a menu page nor an
// export folder gets nothing. Returns what it wrote, or what kept the export from being written, naming the file
// and the reason, or an empty text; the files of an earlier export are then left as they were.
struct ExportResult {
  bool written = false;      // the files were written anew (not when nothing changed, or no site)
  std::size_t sections = 0;  // what the written files hold
  std::size_t links = 0;
  std::size_t duplicates = 0;  // addresses standing in more than one section
  std::string problem;  // what kept them from being written, naming the file and the reason
};
ExportResult writeSiteExport(const std::filesystem::path& siteFolder, const std::filesystem::path& programFolder);

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
// The conversion run: every immediate subfolder of the source folder becomes a section page
// in the site folder, every shortcut in it a link; a menu page lists the sections. Pages are
// only ever appended to, so a run over a grown collection adds just what is new. Deeper folders
// become sections of their own when asked (named by their path, as the importer names them);
// otherwise the report names them with the shortcuts they hold.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"

namespace trevanto::site {

struct RunProgress {
  std::int64_t done = 0;   // shortcuts handled so far
  std::int64_t total = 0;  // shortcuts found in all sections
  std::string section;     // the section being converted, as UTF-8
};

// A shortcut (or a whole section, when name is empty) that the run passed over.
struct SkippedShortcut {
  std::string section;  // UTF-8, for display
  std::string name;     // UTF-8, less ".url"; empty for a whole section
  std::string reason;
};

// A folder below a section that the run did not visit, with the shortcuts in it and below it.
struct UnvisitedFolder {
  std::string path;  // from the source folder, UTF-8, "Links/Работа"
  std::int64_t shortcuts = 0;
};

struct RunReport {
  std::int32_t ConvertedCount = 0;   // link lines written
  std::int32_t NewSectionCount = 0;  // section pages created
  std::int32_t RepeatCount = 0;      // shortcuts whose link the page already held
  std::vector<SkippedShortcut> skipped;
  std::vector<UnvisitedFolder> unvisited;      // deeper folders holding shortcuts, when not converted
  std::int64_t shortcutsInSourceFolder = 0;  // shortcuts directly in the source folder: no section holds them
  bool stopped = false;  // stopped on request between two shortcuts
  std::string error;     // what stopped the run, naming the file and the reason; empty when it completed
  // What kept a completed run from rewriting export/ (the run's pages are whole), or empty.
  std::string exportProblem;
  bool failed() const { return !error.empty(); }
};

struct RunRequest {
  RunRequest() = default;
  RunRequest(std::filesystem::path source, std::filesystem::path site, std::filesystem::path program)
      : sourceFolder(std::move(source)), siteFolder(std::move(site)), programFolder(std::move(program)) {}

  std::filesystem::path sourceFolder;
  std::filesystem::path siteFolder;
  std::filesystem::path programFolder;                 // holds the template pages
  std::function<void(const RunProgress&)> onProgress;  // called before each shortcut
  std::function<bool()> stopRequested;                 // asked before each shortcut
  bool writeExport = true;                             // export/ rebuilt from the pages at the end
  bool syncAtEnd = true;  // what the run wrote synced to the disk before it returns (off to measure its cost)
  // Each folder below a section becomes a section of its own, named by its path from the source
  // folder ("Links - Работа - Проекты"). Off: deeper folders are only counted in the report.
  bool nestedSections = false;
};

RunReport runConversion(const RunRequest& request);

// The statistics as lines: the three counts, then what was skipped (at most
// kMaxSkippedNamed named), what was not visited and whether the run was stopped.
inline constexpr std::size_t kMaxSkippedNamed = base::kMaxNamedInReport;
std::vector<std::string> statisticsLines(const RunReport& report);
// The lines joined by a line feed and a carriage return, as the message box shows them.
std::string statisticsMessage(const RunReport& report);

}  // namespace trevanto::site

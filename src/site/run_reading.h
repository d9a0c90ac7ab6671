// SPDX-License-Identifier: MIT
// The reading half of a run: the sections of the source folder and their shortcut listings,
// the reading plan that lets reads run ahead, each section's shortcuts read and their addresses
// taken, and what is skipped and why.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/files.h"
#include "base/folder_order.h"
#include "conversion.h"
#include "page_search.h"
#include "shortcut_prefetch.h"

namespace trevanto::site {

// One shortcut of a section. The address is empty when the shortcut is skipped.
struct Shortcut {
  std::string fileName;  // as listed; the link's name is this less its last four characters
  std::string address;   // as it goes into the page
};

struct Section {
  std::string SectionName;                 // the page's name less ".html"
  std::string folder;                      // from the source folder, as the file system holds it
  std::vector<base::FolderEntry> entries;  // the "*.url" entries
};

// What the run learns of a section's shortcuts before it writes any of them.
struct SectionShortcuts {
  std::vector<Shortcut> list;
  std::unordered_map<std::size_t, std::string> skipReasons;  // by position in the list
  // By position: the link an earlier version wrote for the shortcut, kept only where the
  // page held it before this run and no shortcut of the section has it as its address.
  std::unordered_map<std::size_t, std::string> oldLinks;
};

class RunReading {
 public:
  // Sections skipped as a whole, the folders not visited and the shortcuts directly in the
  // source folder go into the report.
  RunReading(const std::filesystem::path& sourceFolder, bool nestedSections, RunReport& report)
      : sourceFolder_(sourceFolder), nestedSections_(nestedSections), report_(report), skipped_(report.skipped) {}

  // The sections in the one name order, with their listings, each followed by the sections of
  // its deeper folders when they are sections too; those that cannot be converted are skipped
  // with their reason. Starts reading their shortcuts ahead.
  std::vector<Section> gatherSections();
  // How many shortcuts the sections gathered hold.
  std::int64_t total() const { return total_; }

  // A section's shortcuts, read in order; the section's entries are used up. pageBeforeRun is
  // the section page as the run found it, for the links earlier versions wrote.
  SectionShortcuts readShortcuts(Section& section, const PageLinkIndex& pageBeforeRun, bool pageExisted);

  // No read goes on after this.
  void stop() { prefetch_.reset(); }

  // Why a section cannot be converted, or empty.
  static std::string sectionNameProblem(const std::string& name);

 private:
  // Where the walk below a section stands: a folder still to visit, from the source folder,
  // and the titles of the folders down to it joined as a section name's.
  struct Below {
    std::string folder;
    std::string joined;
  };
  ReadingPlan readingPlan(const std::vector<Section>& sections) const;
  void skipSection(const std::string& rawName, std::string reason);
  // The folders below a section, each a section of its own after it.
  void gatherDeeperSections(const Section& top, std::vector<std::string> subfolders, std::vector<Section>& sections);
  // The folders below a section, each named in the report with the shortcuts it holds.
  void countUnvisited(const std::string& top, const std::vector<std::string>& subfolders);
  // Whether a folder below a section is seen for the first time (a link may lead back up).
  bool firstVisit(const std::string& folder);
  static std::vector<Below> below(const Below& parent, const std::vector<std::string>& subfolders);

  const std::filesystem::path& sourceFolder_;
  const bool nestedSections_;
  RunReport& report_;
  std::vector<SkippedShortcut>& skipped_;
  std::set<base::FileIdentity> visited_;  // the folders below sections, by the file each is
  std::optional<ShortcutPrefetch> prefetch_;
  std::int64_t total_ = 0;
};

}  // namespace trevanto::site

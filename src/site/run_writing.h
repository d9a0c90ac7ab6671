// SPDX-License-Identifier: MIT
// The writing half of a run: the site folder's lock, what a killed run left behind, the section
// pages, the menu and the template copies, in the order that keeps the site whole at every step,
// and the one sync at the end.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "conversion.h"
#include "page_search.h"
#include "run_sync.h"
#include "site_files.h"

namespace trevanto::site {

class SiteWriting {
 public:
  // Takes the site folder's lock (held while this lives), removes the temporary files a killed
  // run left behind and notes which files the site folder holds.
  explicit SiteWriting(const RunRequest& request);

  bool holds(std::string_view fileName) const { return siteFiles_.contains(fileName); }

  // A page whose creation a power cut interrupted stands empty: its header line goes first.
  void completeEmptyPage(const std::filesystem::path& page);

  // A new section: its menu entry and the templates go out before the page, and the page
  // appears with its header line, so that a page in the site folder always has its entry and a
  // run stopped in between is completed by the next one.
  void createSectionPage(const std::string& SectionName);

  // Notes a page about to be appended to, for the sync at the end.
  void willAppendTo(const std::filesystem::path& page) { written_.addFile(page); }

  // The menu page with its header line, created when the site folder has none.
  void ensureMenuPage();

  // What the run wrote is on the disk before it says so. Throws base::FileError.
  void sync() { written_.sync(); }
  // After a failure: keeps the lines the run did write as well as it can, saying nothing.
  void syncWhatWasWritten();

 private:
  void addSectionToMenu(const std::string& SectionName);
  PageLinkIndex& menuLinks();
  const std::string& templateText(std::string_view name);

  const RunRequest& request_;
  SiteFolderLock lock_;
  std::set<std::string, std::less<>> siteFiles_;  // looked up by string_view too
  std::unordered_map<std::string, std::string> templates_;
  PageLinkIndex menuLinks_;
  bool menuLinksLoaded_ = false;
  WrittenFiles written_;
};

}  // namespace trevanto::site

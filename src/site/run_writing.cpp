// SPDX-License-Identifier: MIT
#include "run_writing.h"

#include "base/file_error.h"
#include "base/folder_order.h"
#include "base/whole_files.h"
#include "page_format.h"
#include "shortcut_listing.h"
#include "text_encoding.h"

namespace trevanto::site {
namespace {

constexpr std::size_t kMaxTemplateBytes = 16 * 1024 * 1024;

}  // namespace

SiteWriting::SiteWriting(const RunRequest& request) : request_(request), lock_(request.siteFolder) {
  for (auto& name : listFiles(request_.siteFolder, FilePattern::AllFiles)) {
    if (isLeftoverTemporaryFile(name)) {
      std::error_code ignored;  // one that cannot go stays hidden and harms no page
      std::filesystem::remove(base::joinPath(request_.siteFolder, name), ignored);
      continue;
    }
    siteFiles_.insert(std::move(name));
  }
}

void SiteWriting::completeEmptyPage(const std::filesystem::path& page) {
  std::error_code unknown;
  if (std::filesystem::file_size(page, unknown) == 0 && !unknown) {
    written_.addFile(page);
    appendLineTo(page, sectionHeaderLine());
  }
}

void SiteWriting::createSectionPage(const std::string& SectionName) {
  const std::string pageName = SectionName + std::string(kPageSuffix);
  const std::filesystem::path page = base::joinPath(request_.siteFolder, pageName);
  addSectionToMenu(SectionName);
  written_.addFile(page);
  written_.addFolder(request_.siteFolder);
  createPageWithLine(page, sectionHeaderLine(), base::Sync::No);
  siteFiles_.insert(pageName);
}

void SiteWriting::ensureMenuPage() {
  if (siteFiles_.contains(kMenuPageName)) return;
  written_.addFolder(request_.siteFolder);
  createPageWithLine(base::joinPath(request_.siteFolder, kMenuPageName), menuHeaderLine(), base::Sync::BeforeNaming);
  siteFiles_.insert(std::string(kMenuPageName));
}

void SiteWriting::syncWhatWasWritten() {
  try {
    written_.sync();
  } catch (const base::FileError&) {
    // The failure that stopped the run is the one reported.
  }
}

// A new section's line in the menu, then the template pages copied beside it.
void SiteWriting::addSectionToMenu(const std::string& SectionName) {
  for (std::string_view name : kTemplateNames) templateText(name);  // a missing one stops the run here
  ensureMenuPage();
  // A run stopped between a section's menu line and its page left the line behind.
  const std::string reference = fileReferenceForPage(SectionName + std::string(kPageSuffix));
  if (!menuLinks().holdsLinkTo(reference)) {
    written_.addFile(base::joinPath(request_.siteFolder, kMenuPageName));
    appendLineTo(base::joinPath(request_.siteFolder, kMenuPageName), menuLine(SectionName));
    menuLinks().add(reference);
  }
  written_.addFolder(request_.siteFolder);  // a template replaced takes its name by a rename
  for (std::string_view name : kTemplateNames) {
    base::makeFileHold(base::joinPath(request_.siteFolder, name), templateText(name));
    siteFiles_.insert(std::string(name));
  }
}

// The section pages the menu links to, read once a run first needs them.
PageLinkIndex& SiteWriting::menuLinks() {
  if (!menuLinksLoaded_) {
    menuLinks_.load(base::joinPath(request_.siteFolder, kMenuPageName));
    menuLinksLoaded_ = true;
  }
  return menuLinks_;
}

const std::string& SiteWriting::templateText(std::string_view name) {
  auto found = templates_.find(std::string(name));
  if (found == templates_.end()) {
    const std::filesystem::path path = base::joinPath(request_.programFolder, name);
    std::string text;
    try {
      text = base::readWholeFile(path, kMaxTemplateBytes);
    } catch (const base::FileError& missing) {
      throw base::FileError("Не найдена страница шаблона", path, missing.reason());
    }
    found = templates_.emplace(std::string(name), std::move(text)).first;
  }
  return found->second;
}

}  // namespace trevanto::site

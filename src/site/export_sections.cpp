// SPDX-License-Identifier: MIT
#include "export_sections.h"

#include <set>
#include <string>

#include "base/charset.h"
#include "base/files.h"
#include "base/folder_order.h"
#include "page_format.h"
#include "shortcut_listing.h"
#include "text_encoding.h"

namespace trevanto::site {

bool isSectionPageName(std::string_view name) {
  if (name.size() <= kPageSuffix.size() || !name.ends_with(kPageSuffix)) return false;
  if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos) return false;
  return !isOwnPageName(name);
}

bool beginsWithSectionHeader(const std::filesystem::path& page) {
  const std::string header = sectionHeaderLine();
  std::error_code error;
  base::OpenFile file = base::OpenFile::toRead(page, error);
  if (!file) return false;
  const std::optional<base::FileStatus> status = file.status(error);
  if (!status || status->kind != base::FileKind::Regular) return false;
  const base::ReadChunk start = file.read(header.size() + 2);
  if (start.error || !start.bytes.starts_with(header)) return false;
  const std::string_view rest = std::string_view(start.bytes).substr(header.size());
  return rest.empty() || rest.starts_with('\n') || rest == "\r\n";
}

std::vector<MenuSection> sectionsOfSite(const std::filesystem::path& siteFolder) {
  std::vector<MenuSection> sections = menuSections(siteFolder);
  std::set<std::string, std::less<>> listed;
  for (const MenuSection& section : sections) listed.insert(section.pageName);
  for (std::string& name : listFiles(siteFolder, FilePattern::AllFiles)) {
    if (!isSectionPageName(name) || listed.contains(name)) continue;
    if (!beginsWithSectionHeader(base::joinPath(siteFolder, name))) continue;
    std::string shown = base::displayName(std::string_view(name).substr(0, name.size() - kPageSuffix.size()));
    sections.push_back({std::move(shown), std::move(name)});
  }
  return sections;
}

}  // namespace trevanto::site

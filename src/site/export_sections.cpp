// SPDX-License-Identifier: MIT
#include "export_sections.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "base/charset.h"
#include "base/posix/file_descriptor.h"
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
  const base::FileDescriptor fd(::open(page.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const base::ReadResult start = base::readUpTo(fd.get(), header.size() + 2);
  if (start.error != 0 || !start.bytes.starts_with(header)) return false;
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

// SPDX-License-Identifier: MIT
// The section pages whose links the export and the search hold: every section page of the site,
// whether the menu lists it or not.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "site_export.h"

namespace trevanto::site {

// True for a file name that may be a section page's: NAME.html at the top of the site, other
// than the menu page and the template copies.
bool isSectionPageName(std::string_view name);

// True when the file's first line is the section header line; false when it is not, or when the
// file cannot be read.
bool beginsWithSectionHeader(const std::filesystem::path& page);

// The sections whose links the export reads, each once: the menu's sections in its order, then
// the section pages the menu does not list (the menu page was deleted and started anew, or an
// earlier version wrote the site), in folder order, each named after its file. A page the menu
// does not list counts as a section page when its first line is the section header line.
// Throws FileError when the site folder or the menu page cannot be read.
std::vector<MenuSection> sectionsOfSite(const std::filesystem::path& siteFolder);

}  // namespace trevanto::site

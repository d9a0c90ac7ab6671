// SPDX-License-Identifier: MIT
// The links of a site as its export reads them: the menu's sections in its order, then the section
// pages it does not list, each with its links in the page's order, and the distinct web addresses
// among them, first seen first.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "site/site_export.h"

namespace trevanto::check {

struct SiteSection {
  std::string name;
  std::vector<site::PageLink> links;
};

struct SiteLinks {
  std::vector<SiteSection> sections;
  // Every distinct http: or https: address, in the order the sections and pages first give it.
  std::vector<std::string> webAddresses;
  // Distinct addresses of other schemes (ftp:, file:, mailto: ...), which are not checked.
  std::size_t otherAddresses = 0;
};

// True for an address a check asks: http: or https:, whatever the letter case.
bool isWebAddress(std::string_view address);

// Reads the menu and the section pages. Throws base::FileError naming a page that cannot be read.
SiteLinks readSiteLinks(const std::filesystem::path& siteFolder);

}  // namespace trevanto::check

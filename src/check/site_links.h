// SPDX-License-Identifier: MIT
// The links of a site as its export reads them: the menu's sections in its order, then the section
// pages it does not list, each with its links in the page's order, and the distinct web addresses
// among them, first seen first. Two spellings of one address (HTTP://Host/a and http://host/a) are
// one address to the check: it asks it once and keeps one history record, by its identity.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "site/site_export.h"

namespace trevanto::check {

struct SiteSection {
  std::string name;
  std::vector<site::PageLink> links;
};

struct SiteLinks {
  std::vector<SiteSection> sections;
  // Every distinct http: or https: address by its identity (address::addressIdentity), in the
  // order the sections and pages first give it: what a check asks and the history keeps.
  std::vector<std::string> webAddresses;
  // Every spelling of a web address as the pages hold it, first seen first.
  std::vector<std::string> webSpellings;
  // The identity of every address of the pages, by its spelling.
  std::unordered_map<std::string, std::string> identities;
  // Distinct addresses of other schemes (ftp:, file:, mailto: ...), which are not checked.
  std::size_t otherAddresses = 0;

  // The identity of an address the pages hold.
  const std::string& identityOf(const std::string& spelling) const { return identities.at(spelling); }
};

// True for an address a check asks: http: or https:, whatever the letter case.
bool isWebAddress(std::string_view address);

// Reads the menu and the section pages. Throws base::FileError naming a page that cannot be read.
SiteLinks readSiteLinks(const std::filesystem::path& siteFolder);

}  // namespace trevanto::check

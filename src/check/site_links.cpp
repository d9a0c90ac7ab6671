// SPDX-License-Identifier: MIT
#include "site_links.h"

#include <unordered_set>

#include "address/address_identity.h"
#include "base/path_text.h"
#include "base/text.h"
#include "site/export_sections.h"

namespace trevanto::check {

bool isWebAddress(std::string_view address) {
  const std::string lower = base::asciiLower(address.substr(0, 8));
  return lower.starts_with("http://") || lower.starts_with("https://");
}

SiteLinks readSiteLinks(const std::filesystem::path& siteFolder) {
  SiteLinks links;
  std::unordered_set<std::string> identities;
  for (const site::MenuSection& section : site::sectionsOfSite(siteFolder)) {
    SiteSection& read = links.sections.emplace_back(SiteSection{section.name, {}});
    site::readLinkLines(siteFolder / base::pathOf(section.pageName), [&](const site::PageLink& link) {
      read.links.push_back(link);
      const auto [spelling, newSpelling] = links.identities.try_emplace(link.address);
      if (!newSpelling) return;
      spelling->second = address::addressIdentity(link.address);
      const bool web = isWebAddress(link.address);
      if (web) links.webSpellings.push_back(link.address);
      if (!identities.insert(spelling->second).second) return;
      if (web) {
        links.webAddresses.push_back(spelling->second);
      } else {
        ++links.otherAddresses;
      }
    });
  }
  return links;
}

}  // namespace trevanto::check

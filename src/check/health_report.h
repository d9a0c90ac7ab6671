// SPDX-License-Identifier: MIT
// What a person reads of the link history: export/link-health.html, the dead links by section
// with an archived copy each, the moved ones and the counts; and export/link-health.js, the dead
// and moved addresses for the pages that mark them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "link_health.h"
#include "site_links.h"

namespace trevanto::check {

struct HealthCounts {
  std::size_t checked = 0;     // web addresses with a check on record
  std::size_t alive = 0;       // of those: answered
  std::size_t moved = 0;       // answered at a new address
  std::size_t failing = 0;     // failed, not (yet) dead
  std::size_t dead = 0;
  std::size_t notYetChecked = 0;  // web addresses that no check reached yet
  std::size_t notChecked = 0;     // addresses of other schemes
};

HealthCounts countHealth(const SiteLinks& links, const LinkHistory& history);

// A failure reason of link-health.json in the words the pages show.
std::string reasonText(std::string_view reason);

// The page; times are shown in the local time zone.
std::string healthPage(const SiteLinks& links, const LinkHistory& history);

// One line: var trevantoLinkHealth = {"ADDRESS": ["dead", "REASON"], "ADDRESS": ["moved", "NEW ADDRESS"]};
// all ASCII, the addresses exactly as the pages and the search data hold them.
std::string healthScript(const SiteLinks& links, const LinkHistory& history);

}  // namespace trevanto::check

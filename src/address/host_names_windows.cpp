// SPDX-License-Identifier: MIT
// IDNA on Windows: the system's own, through the floor.
#include "base/idna.h"
#include "host_names.h"

namespace trevanto::address {

std::optional<std::string> idnaAscii(const std::string& host) { return base::systemIdnaAscii(host); }

std::optional<std::string> idnaUnicode(const std::string& host) { return base::systemIdnaUnicode(host); }

}  // namespace trevanto::address

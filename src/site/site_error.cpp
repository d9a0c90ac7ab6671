// SPDX-License-Identifier: MIT
#include "site_error.h"

#include <cstring>

namespace trevanto::site {

SiteError::SiteError(const std::string& what, const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error(what + " \xC2\xAB" + path.string() + "\xC2\xBB: " + reason), path_(path), reason_(reason) {}

std::string systemReason(int errorNumber) {
  char buffer[256] = {};
  // The GNU strerror_r returns the text, which may or may not live in buffer.
  return ::strerror_r(errorNumber, buffer, sizeof buffer);
}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
#include "file_error.h"

#include <system_error>

namespace trevanto::base {

FileError::FileError(const std::string& what, const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error(what + " \xC2\xAB" + path.string() + "\xC2\xBB: " + reason), reason_(reason) {}

std::string systemReason(int errorNumber) { return std::generic_category().message(errorNumber); }

}  // namespace trevanto::base

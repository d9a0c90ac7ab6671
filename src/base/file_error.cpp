// SPDX-License-Identifier: MIT
#include "file_error.h"

#include <system_error>
#include <utility>

namespace trevanto::base {

FileError::FileError(const std::string& what, const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error(what + " \xC2\xAB" + path.string() + "\xC2\xBB: " + reason), reason_(reason) {}

FileError::FileError(std::string message, std::string reason)
    : std::runtime_error(std::move(message)), reason_(std::move(reason)) {}

FileError FileError::worded(std::string_view before, const std::filesystem::path& path, std::string_view after,
                            const std::string& reason) {
  std::string message(before);
  message += "\xC2\xAB" + path.string() + "\xC2\xBB";
  message += after;
  if (!reason.empty()) message += ": " + reason;
  return FileError(std::move(message), reason);
}

std::string systemReason(int errorNumber) { return std::generic_category().message(errorNumber); }

}  // namespace trevanto::base

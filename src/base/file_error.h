// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace trevanto::base {

// A failure that names the file or folder concerned and the reason, in the words shown to
// the user.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& what, const std::filesystem::path& path, const std::string& reason);
  const std::string& reason() const noexcept { return reason_; }

 private:
  std::string reason_;
};

// The reason for an errno value, as the system words it in the user's language (the programs
// set the locale from the environment at start-up).
std::string systemReason(int errorNumber);

}  // namespace trevanto::base

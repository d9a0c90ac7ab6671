// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace trevanto::base {

// A failure that names the file or folder concerned and the reason, in the words shown to
// the user.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& what, const std::filesystem::path& path, const std::string& reason);
  // A failure worded around the file's name: before «path» after, then ": reason" unless there
  // is none ("Папка «/site/export» недоступна: Permission denied").
  static FileError worded(std::string_view before, const std::filesystem::path& path, std::string_view after,
                          const std::string& reason = {});
  const std::string& reason() const noexcept { return reason_; }

 private:
  FileError(std::string message, std::string reason);

  std::string reason_;
};

// The reason for an errno value, as the system words it in the user's language (the programs
// set the locale from the environment at start-up).
std::string systemReason(int errorNumber);

}  // namespace trevanto::base

// SPDX-License-Identifier: MIT
// Temporary folders and whole-file helpers, shared by the tests and the benchmarks.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/path_text.h"

namespace trevanto::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / base::pathOf(name); }

 private:
  std::filesystem::path path_;
};

// Creates the folders on the way and replaces the file. Throws std::runtime_error when it cannot.
void writeFile(const std::filesystem::path& path, std::string_view bytes);
// The whole file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// A shortcut file as browsers write it: [InternetShortcut] and URL=, CR LF.
std::string shortcutText(std::string_view address);
void writeShortcut(const std::filesystem::path& folder, std::string_view name, std::string_view address);

}  // namespace trevanto::testing

// SPDX-License-Identifier: MIT
// A bookmark export read whole, within the size any browser's export stays under.
#pragma once

#include <filesystem>
#include <string>

namespace trevanto::import {

// Throws base::FileError naming the file when it cannot be read or is larger than 1 GiB.
std::string readExportFile(const std::filesystem::path& file);

}  // namespace trevanto::import

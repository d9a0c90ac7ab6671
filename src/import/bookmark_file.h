// SPDX-License-Identifier: MIT
// A bookmark file given to the importer (a browser's export, an XBEL file, a profile's Bookmarks
// file) read whole, within the size any of them stays under.
#pragma once

#include <filesystem>
#include <string>

namespace trevanto::import {

// Throws base::FileError naming the file when it cannot be read or is larger than 1 GiB.
std::string readBookmarkFile(const std::filesystem::path& file);

}  // namespace trevanto::import

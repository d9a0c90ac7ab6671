// SPDX-License-Identifier: MIT
// Firefox's places.sqlite, read from a private copy so that a running browser is never
// disturbed.
#pragma once

#include <filesystem>

#include "reader.h"

namespace trevanto::import {

// Reads the database at path (with its "-wal" beside it when there is one). Throws
// base::FileError naming the file.
void readPlacesDatabase(const std::filesystem::path& path, BookmarkSink& sink);

}  // namespace trevanto::import

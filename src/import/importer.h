// SPDX-License-Identifier: MIT
// One import: every input read whole, then its bookmarks written into the collection.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "safe_names.h"

namespace trevanto::import {

struct ImportRequest {
  std::vector<std::filesystem::path> inputs;                // export files, profile files, link files, folders
  std::filesystem::path collection;                         // SOURCE: created when absent
  std::string namedSection = std::string(kDefaultSection);  // as given; made safe here
};

struct SkippedBookmark {
  std::string section;  // UTF-8, for display
  std::string title;
  std::string reason;
};

struct ImportReport {
  std::int64_t added = 0;
  std::int64_t alreadyThere = 0;
  std::vector<SkippedBookmark> skipped;
  std::int64_t passedOver = 0;  // files of no known kind in folders given
  std::string error;            // what ended the import, naming the file and the reason; empty when done
  bool failed() const { return !error.empty(); }
};

ImportReport runImport(const ImportRequest& request);

// The report in the converter's voice: the counts, then up to kMaxSkippedNamed skipped.
inline constexpr std::size_t kMaxSkippedNamed = 20;
std::vector<std::string> importStatisticsLines(const ImportReport& report);

}  // namespace trevanto::import

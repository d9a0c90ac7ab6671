// SPDX-License-Identifier: MIT
// One import: every input read whole, then its bookmarks written into the collection.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/text.h"
#include "reader.h"
#include "safe_names.h"

namespace trevanto::import {

// A browser profile's bookmark file. Unlike an input given by path, one that cannot be read is
// named in the report and passed over, and the import goes on.
struct ProfileInput {
  std::filesystem::path file;  // its places.sqlite or Bookmarks
  std::string label;           // how the report names it: "Firefox «default-release»"
  std::string problem;         // already known to keep it from being read; empty otherwise
};

struct ImportRequest {
  std::vector<std::filesystem::path> inputs;                // export files, profile files, link files, folders
  std::vector<ProfileInput> profiles;                       // read after the inputs
  std::filesystem::path collection;                         // SOURCE: created when absent, unless
  // A run that nobody watches (folders from the window's settings) never creates the collection:
  // one missing (a stick not plugged in, a share not mounted) fails the import naming it.
  bool createCollection = true;
  std::string namedSection = std::string(kDefaultSection);  // as given; made safe here
  // Called on the import's thread while the shortcuts are written: how many of how many.
  std::function<void(std::int64_t done, std::int64_t total)> progress;
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
  std::vector<std::string> unreadProfiles;  // "label: reason" for each profile passed over
  std::string error;            // what ended the import, naming the file and the reason; empty when done
  bool failed() const { return !error.empty(); }
};

ImportReport runImport(const ImportRequest& request);

// Reads one input (a file of any known kind, or a folder of link files) into sink. Throws
// base::FileError naming it.
void readBookmarkInput(const std::filesystem::path& input, BookmarkSink& sink);

// Whether the collection holds a section (a subfolder) already; false also when it is not there
// or cannot be listed. An import into a folder without one makes its first sections there.
bool collectionHoldsSections(const std::filesystem::path& collection);

// The report in the converter's voice: the counts, then up to kMaxSkippedNamed skipped.
inline constexpr std::size_t kMaxSkippedNamed = base::kMaxNamedInReport;
std::vector<std::string> importStatisticsLines(const ImportReport& report);

}  // namespace trevanto::import

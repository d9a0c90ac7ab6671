// SPDX-License-Identifier: MIT
// The stamp of export/: what its files were built from (the menu page and every page that may be
// a section's, each with its size, inode, modification and change times) and what they were
// when written. A run whose site and export still match the stamp leaves export/ alone, so a run
// that converts nothing writes nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trevanto::site {

inline constexpr std::string_view kExportStampName = "stamp";

struct FileState {
  std::string name;  // without folder, bytes as the file system holds them
  std::uint64_t size = 0;
  std::uint64_t inode = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  bool operator==(const FileState&) const = default;
};

struct ExportStamp {
  std::string format;            // the export's format and the program's version
  std::vector<FileState> pages;  // in the site folder, in folder order
  std::vector<FileState> files;  // in the export folder, as the export wrote them
  bool operator==(const ExportStamp&) const = default;
};

// The file's state now; none when it cannot be looked at.
std::optional<FileState> fileState(const std::filesystem::path& folder, std::string_view name);

// The pages an export may read, as they are now: the menu page and every NAME.html at the top of
// the site that may be a section page. One listing of the site folder and one stat a page.
// Throws FileError when the folder cannot be listed.
std::vector<FileState> sitePageStates(const std::filesystem::path& siteFolder);

// The stamp in the export folder; none when it is missing or cannot be read as one.
std::optional<ExportStamp> readExportStamp(const std::filesystem::path& exportFolder);

// True when the stamp is of this format, the pages are as it says, and every file it lists in the
// export folder is still as it was written.
bool exportMatchesStamp(const std::filesystem::path& exportFolder, std::string_view format,
                        const std::vector<FileState>& pagesNow);

// Writes the stamp of an export just written from pagesNow: the files named, as they are now.
// Through a temporary file and a rename. Throws FileError naming the file.
void writeExportStamp(const std::filesystem::path& exportFolder, std::string_view format,
                      const std::vector<FileState>& pagesNow, const std::vector<std::string_view>& writtenFiles);

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
// The shortcut files of a run, read ahead of it (see read_ahead.h) across section boundaries.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/folder_order.h"
#include "base/read_ahead.h"
#include "shortcut_listing.h"
#include "shortcut_reader.h"

namespace trevanto::site {

// The files a run will read, in the order it reads them: folder by folder, names in the order
// of their folder. Names are kept packed, a few bytes beyond the name itself per file.
class ReadingPlan {
 public:
  void addFolder(const std::filesystem::path& folder);
  // A file of the folder added last.
  void addFile(std::string_view name);
  std::size_t size() const { return files_.size(); }
  std::filesystem::path pathOf(std::size_t position) const;
  // True when the file at position is path, as base::joinPath composes it.
  bool isAt(std::size_t position, const std::filesystem::path& path) const;

 private:
  std::string_view nameOf(std::size_t position) const;

  struct File {
    std::size_t folder;
    std::size_t nameEnd;  // in names_; the name starts where the previous one ends
  };
  std::vector<std::string> folders_;
  std::string names_;
  std::vector<File> files_;
};

// Memory: at most options.window files are held ahead of the run (read, or being read), each
// at most kMaxShortcutBytes (1 MiB) plus one byte, so 64 MiB at the very worst with the
// run's options; shortcuts of ordinary size take a few hundred kilobytes in all.
class ShortcutPrefetch {
 public:
  explicit ShortcutPrefetch(ReadingPlan plan, const base::ReadAheadOptions& options = base::runReadAheadOptions());

  // The file at path, as loadShortcutFile reads it. When path is the next file of the plan it
  // may come from the reads ahead; any other path is read here and now and the plan stays
  // where it was. Called from one thread only.
  ShortcutFile take(const std::filesystem::path& path);

  std::size_t readersStarted() const { return reads_.readersStarted(); }

 private:
  const ReadingPlan plan_;
  const std::thread::id run_;                       // the thread that takes
  const std::filesystem::path* runPath_ = nullptr;  // what it takes now; only it looks
  base::ReadAhead<ShortcutFile> reads_;
};

// The shortcut entries of the run's sections, listed ahead of the run like the files: on a
// share or a cold disk each listing waits too. Held: what the run holds of its sections anyway.
class SectionListings {
 public:
  explicit SectionListings(std::vector<std::filesystem::path> folders,
                           const base::ReadAheadOptions& options = base::runReadAheadOptions());
  // The next folder's listSection(). Throws base::FileError when it cannot be listed.
  SectionListing take() { return listings_.take(); }

 private:
  const std::vector<std::filesystem::path> folders_;
  base::ReadAhead<SectionListing> listings_;
};

}  // namespace trevanto::site

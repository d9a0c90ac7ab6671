// SPDX-License-Identifier: MIT
// File operations on the site folder: appending whole lines, replacing files whole, and the
// lock that keeps two runs apart.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/files.h"
#include "base/whole_files.h"

namespace trevanto::site {

// A page opened for appending (created empty when absent, never truncated). Lines are
// gathered and go out together, whole lines only; whatever cannot be written whole is taken
// back, so the page keeps whole lines only.
class PageAppender {
 public:
  explicit PageAppender(const std::filesystem::path& page, std::size_t bufferBytes = 64 * 1024);
  PageAppender(const PageAppender&) = delete;
  PageAppender& operator=(const PageAppender&) = delete;
  // Writes what is still gathered; a failure there is lost, so call flush() to learn of it.
  ~PageAppender();

  void appendLine(std::string_view line);
  // Writes every gathered line. Throws base::FileError naming the page; the lines it could not
  // write are not on the page.
  void flush();
  // Lines that reached the page.
  std::size_t linesWritten() const { return linesWritten_; }

 private:
  std::filesystem::path path_;
  base::OpenFile file_;
  std::uint64_t size_ = 0;
  std::size_t bufferBytes_;
  std::string pending_;
  std::size_t pendingLines_ = 0;
  std::size_t linesWritten_ = 0;
};

// Opens, appends one line, writes it and closes.
void appendLineTo(const std::filesystem::path& page, std::string_view line);

// Creates a page holding its first line, whole: the page appears with that line or not at
// all, whatever stops the program meanwhile (after a power cut, unless synced, it may stand
// empty). A page that exists already is left as it is. New files take the mode the umask gives.
void createPageWithLine(const std::filesystem::path& page, std::string_view line, base::Sync sync);

// True for the name of a temporary file that creating a page or replacing a template leaves
// behind when the program is killed in between: ".trevanto-page.XXXXXX", ".Frame1.html.XXXXXX"
// and the like, XXXXXX being six letters or digits. A run removes them while it holds the lock.
bool isLeftoverTemporaryFile(std::string_view name);

// An advisory lock on the site folder itself (no file is added to it), held for the run.
class SiteFolderLock {
 public:
  explicit SiteFolderLock(const std::filesystem::path& siteFolder);

 private:
  base::FolderLock lock_;
};

}  // namespace trevanto::site

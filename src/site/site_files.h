// File operations on the site folder: appending whole lines, replacing files whole, and the
// lock that keeps two runs apart.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace trevanto::site {

// A page opened for appending (created empty when absent, never truncated). Every line goes
// out in one write; a line that cannot be written whole is taken back, so the page keeps
// whole lines only.
class PageAppender {
 public:
  explicit PageAppender(const std::filesystem::path& page);
  PageAppender(const PageAppender&) = delete;
  PageAppender& operator=(const PageAppender&) = delete;
  ~PageAppender();

  void appendLine(std::string_view line);

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Opens, appends one line and closes.
void appendLineTo(const std::filesystem::path& page, std::string_view line);

// Reads a small file whole. Throws SiteError.
std::string readWholeFile(const std::filesystem::path& path, std::size_t limitBytes);

// Replaces the file's content with bytes through a temporary file in the same folder and a
// rename, so the file is either the old one or the new one, whole.
void replaceFileWith(const std::filesystem::path& path, std::string_view bytes);

// An advisory lock on the site folder itself (no file is added to it), held for the run.
class SiteFolderLock {
 public:
  explicit SiteFolderLock(const std::filesystem::path& siteFolder);
  SiteFolderLock(const SiteFolderLock&) = delete;
  SiteFolderLock& operator=(const SiteFolderLock&) = delete;
  ~SiteFolderLock();

 private:
  int fd_ = -1;
};

}  // namespace trevanto::site

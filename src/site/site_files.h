// SPDX-License-Identifier: MIT
// File operations on the site folder: appending whole lines, replacing files whole, and the
// lock that keeps two runs apart.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/file_descriptor.h"

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
  // Writes every gathered line. Throws base::FileError naming the page.
  void flush();

 private:
  std::filesystem::path path_;
  base::FileDescriptor fd_;
  std::uint64_t size_ = 0;
  std::size_t bufferBytes_;
  std::string pending_;
};

// Opens, appends one line, writes it and closes.
void appendLineTo(const std::filesystem::path& page, std::string_view line);

// Whether a new file's bytes are synced to the disk before it takes its name. A sync costs a
// disk flush (1.5 to 6 ms a file measured by the bench), too dear for every new section page.
enum class Sync { BeforeNaming, No };

// Creates a page holding its first line, whole: the page appears with that line or not at
// all, whatever stops the program meanwhile (after a power cut, unless synced, it may stand
// empty). A page that exists already is left as it is. New files take the mode the umask gives.
void createPageWithLine(const std::filesystem::path& page, std::string_view line, Sync sync);

// Reads a small file whole. Throws base::FileError.
std::string readWholeFile(const std::filesystem::path& path, std::size_t limitBytes);

// Replaces the file's content with bytes through a temporary file in the same folder, synced to
// the disk, and a rename, so the file is either the old one or the new one, whole.
void replaceFileWith(const std::filesystem::path& path, std::string_view bytes);

// True for the name of a temporary file that creating a page or replacing a template leaves
// behind when the program is killed in between: ".trevanto-page.XXXXXX", ".Frame1.html.XXXXXX"
// and the like, XXXXXX being six letters or digits. A run removes them while it holds the lock.
bool isLeftoverTemporaryFile(std::string_view name);

// True for the name of the temporary file that replacing finalName leaves behind when the program
// is killed in between: ".finalName.XXXXXX".
bool isTemporaryFileFor(std::string_view name, std::string_view finalName);

// A file replaced whole, its new content written piece by piece: the pieces go to a hidden
// temporary file beside it (".NAME.XXXXXX"), and commit() syncs it and renames it over the file,
// so the file is either the old one or the new one, whole. Without a commit the temporary file
// is removed and the file stays as it was.
class FileReplacement {
 public:
  explicit FileReplacement(const std::filesystem::path& path, std::size_t bufferBytes = 256 * 1024);
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  // Throws base::FileError naming the file.
  void write(std::string_view bytes);
  void commit();

 private:
  void writePending();
  [[noreturn]] void fail(int error);

  std::filesystem::path path_;
  std::string temporary_;
  base::FileDescriptor fd_;
  std::size_t bufferBytes_;
  std::string pending_;
};

// True when the file holds exactly bytes.
bool fileHolds(const std::filesystem::path& path, std::string_view bytes);

// Leaves the file holding exactly bytes: replaced as above unless it already does.
void makeFileHold(const std::filesystem::path& path, std::string_view bytes);

// An advisory lock on the site folder itself (no file is added to it), held for the run.
class SiteFolderLock {
 public:
  explicit SiteFolderLock(const std::filesystem::path& siteFolder);
  SiteFolderLock(const SiteFolderLock&) = delete;
  SiteFolderLock& operator=(const SiteFolderLock&) = delete;

 private:
  base::FileDescriptor fd_;
};

}  // namespace trevanto::site

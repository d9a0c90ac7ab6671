// SPDX-License-Identifier: MIT
// Files written whole or not at all: created beside their place under a temporary name and
// then linked or renamed into it; files read whole; the advisory lock on a folder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "files.h"

namespace trevanto::base {

// Whether a new file's bytes are synced to the disk before it takes its name. A sync costs a
// disk flush (1.5 to 6 ms a file measured by the bench), too dear for every new section page.
enum class Sync { BeforeNaming, No };

// Creates path holding bytes, whole: it appears with all of them or not at all, whatever stops
// the program meanwhile (after a power cut, unless synced, it may stand empty). A file that
// exists already is left as it is. The temporary file is named ".temporaryStem.XXXXXX". New
// files take the mode the umask gives. Throws FileError(operation, path, reason).
void createFileWithoutReplacing(const std::filesystem::path& path, std::string_view temporaryStem,
                                std::string_view bytes, Sync sync, std::string_view operation);

// Reads a small file whole. Throws base::FileError.
std::string readWholeFile(const std::filesystem::path& path, std::size_t limitBytes);

// Replaces the file's content with bytes through a temporary file in the same folder, synced to
// the disk, and a rename, so the file is either the old one or the new one, whole.
void replaceFileWith(const std::filesystem::path& path, std::string_view bytes);

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
  [[noreturn]] void fail(const std::error_code& error);

  std::filesystem::path path_;
  std::string temporary_;
  OpenFile file_;
  std::size_t bufferBytes_;
  std::string pending_;
};

// True when the file holds exactly bytes.
bool fileHolds(const std::filesystem::path& path, std::string_view bytes);

// Leaves the file holding exactly bytes: replaced as above unless it already does.
void makeFileHold(const std::filesystem::path& path, std::string_view bytes);

// An advisory lock on a folder itself (no file is added to it), held while the object lives.
// When another process holds it, throws FileError(busy, folder, busyReason); when the folder
// cannot be opened, FileError(unavailable, folder, the system's reason).
class FolderLock {
 public:
  FolderLock(const std::filesystem::path& folder, std::string_view unavailable, std::string_view busy,
             std::string_view busyReason);
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  OpenFolder folder_;
};

}  // namespace trevanto::base

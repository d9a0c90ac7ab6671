// SPDX-License-Identifier: MIT
#include "whole_files.h"

#include <cerrno>
#include <random>

#include "file_error.h"
#include "path_text.h"

namespace trevanto::base {
namespace {

constexpr std::string_view kWriteFailed = "Не удалось записать файл";
constexpr std::string_view kUniqueSuffixPattern = "XXXXXX";
constexpr std::string_view kUniqueCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The name of a temporary file in folder that will become stem: ".stem.XXXXXX".
std::string temporaryPattern(const std::filesystem::path& folder, std::string_view stem) {
  std::string name = ".";
  name += stem;
  name += '.';
  name += kUniqueSuffixPattern;
  return textOf(folder / pathOf(name));
}

// Creates a new file from a pattern ending in XXXXXX, which receives the name taken. Unlike
// mkstemp, the file takes the mode the user's umask (or the folder's default ACL) gives new
// files, as a page appended to does.
OpenFile createUniqueFile(std::string& pattern, std::error_code& error) {
  static thread_local std::minstd_rand random(std::random_device{}());
  std::uniform_int_distribution<std::size_t> pick(0, kUniqueCharacters.size() - 1);
  const std::size_t at = pattern.size() - kUniqueSuffixPattern.size();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    for (std::size_t i = at; i < pattern.size(); ++i) pattern[i] = kUniqueCharacters[pick(random)];
    OpenFile file = OpenFile::createNew(pathOf(pattern), error);
    if (file || error != std::errc::file_exists) return file;
  }
  return OpenFile();  // error is file_exists
}

// Creates a file from the pattern holding bytes; synced, they are on the disk before the file
// is renamed or linked into place, so a power cut never leaves it empty or partial under its
// final name. Returns the temporary file's name; throws FileError(operation, finalPath, reason)
// when it cannot be written whole, with nothing left behind.
std::string writeTemporaryFile(const std::filesystem::path& finalPath, std::string_view temporaryStem,
                               std::string_view bytes, Sync sync, std::string_view operation) {
  std::string temporary = temporaryPattern(finalPath.parent_path(), temporaryStem);
  std::error_code error;
  OpenFile file = createUniqueFile(temporary, error);
  throwIfFailed(error, operation, finalPath);
  error = file.write(bytes);
  if (!error && sync == Sync::BeforeNaming) error = file.sync();
  if (const std::error_code closeError = file.close(); !error) error = closeError;
  if (error) {
    removeFile(pathOf(temporary));
    throwIfFailed(error, operation, finalPath);
  }
  return temporary;
}

}  // namespace

void createFileWithoutReplacing(const std::filesystem::path& path, std::string_view temporaryStem,
                                std::string_view bytes, Sync sync, std::string_view operation) {
  const std::string temporary = writeTemporaryFile(path, temporaryStem, bytes, sync, operation);
  std::error_code error = linkFile(pathOf(temporary), path);
  if (error == std::errc::file_exists) {
    error.clear();
  } else if (error) {
    // A file system without hard links: the caller holds the folder's lock, so a rename puts
    // the file in place as long as it is still absent.
    std::error_code absent;
    error.clear();
    if (!fileStatus(path, absent, Links::NotFollowed)) error = renameReplacing(pathOf(temporary), path);
  }
  removeFile(pathOf(temporary));
  throwIfFailed(error, operation, path);
}

std::string readWholeFile(const std::filesystem::path& path, std::size_t limitBytes) {
  return readFile(path, limitBytes, FileKinds::Any).take("Не удалось прочитать файл", path);
}

void replaceFileWith(const std::filesystem::path& path, std::string_view bytes) {
  constexpr std::string_view kOperation = "Не удалось записать файл";
  const std::string temporary =
      writeTemporaryFile(path, textOf(path.filename()), bytes, Sync::BeforeNaming, kOperation);
  if (const std::error_code error = renameReplacing(pathOf(temporary), path)) {
    removeFile(pathOf(temporary));
    throwIfFailed(error, kOperation, path);
  }
}

bool isTemporaryFileFor(std::string_view name, std::string_view finalName) {
  const std::size_t suffix = kUniqueSuffixPattern.size();
  return name.size() == finalName.size() + suffix + 2 && name.front() == '.' &&
         name.substr(1, finalName.size()) == finalName && name[finalName.size() + 1] == '.' &&
         name.substr(name.size() - suffix).find_first_not_of(kUniqueCharacters) == std::string_view::npos;
}

FileReplacement::FileReplacement(const std::filesystem::path& path, std::size_t bufferBytes)
    : path_(path), bufferBytes_(bufferBytes) {
  temporary_ = temporaryPattern(path.parent_path(), textOf(path.filename()));
  std::error_code error;
  file_ = createUniqueFile(temporary_, error);
  throwIfFailed(error, kWriteFailed, path_);
}

FileReplacement::~FileReplacement() {
  if (file_) {
    file_.close();
    removeFile(pathOf(temporary_));
  }
}

void FileReplacement::write(std::string_view bytes) {
  if (!file_) throw FileError(std::string(kWriteFailed), path_, systemReason(EBADF));
  if (pending_.empty() && bytes.size() >= bufferBytes_) {
    if (const std::error_code error = file_.write(bytes)) fail(error);
    return;
  }
  pending_ += bytes;
  if (pending_.size() >= bufferBytes_) writePending();
}

void FileReplacement::commit() {
  if (!file_) throw FileError(std::string(kWriteFailed), path_, systemReason(EBADF));
  writePending();
  std::error_code error = file_.sync();
  if (const std::error_code closeError = file_.close(); !error) error = closeError;
  if (!error) error = renameReplacing(pathOf(temporary_), path_);
  if (error) {
    removeFile(pathOf(temporary_));
    throwIfFailed(error, kWriteFailed, path_);
  }
}

void FileReplacement::writePending() {
  if (const std::error_code error = file_.write(pending_)) fail(error);
  pending_.clear();
}

void FileReplacement::fail(const std::error_code& error) {
  file_.close();
  removeFile(pathOf(temporary_));
  throw FileError(std::string(kWriteFailed), path_, systemReason(error));
}

bool fileHolds(const std::filesystem::path& path, std::string_view bytes) {
  const FileRead read = readFile(path, bytes.size(), FileKinds::Any);  // missing, unreadable or larger: no
  return read && read.bytes == bytes;
}

void makeFileHold(const std::filesystem::path& path, std::string_view bytes) {
  if (!fileHolds(path, bytes)) replaceFileWith(path, bytes);
}

FolderLock::FolderLock(const std::filesystem::path& folder, std::string_view unavailable, std::string_view busy,
                       std::string_view busyReason) {
  std::error_code error;
  folder_ = OpenFolder::open(folder, error);
  throwIfFailed(error, unavailable, folder);
  error = folder_.tryLock();
  if (error == std::errc::resource_unavailable_try_again)
    throw FileError(std::string(busy), folder, std::string(busyReason));
  throwIfFailed(error, unavailable, folder);
}

}  // namespace trevanto::base

// SPDX-License-Identifier: MIT
#include "whole_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "file_error.h"

namespace trevanto::base {
namespace {

constexpr std::string_view kUniqueSuffixPattern = "XXXXXX";
constexpr std::string_view kUniqueCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The name of a temporary file in folder that will become stem: ".stem.XXXXXX".
std::string temporaryPattern(const std::filesystem::path& folder, std::string_view stem) {
  std::string name = ".";
  name += stem;
  name += '.';
  name += kUniqueSuffixPattern;
  return (folder / name).string();
}

// Creates a new file from a pattern ending in XXXXXX, which receives the name taken. Unlike
// mkstemp, the file takes the mode the user's umask (or the folder's default ACL) gives new
// files, as a page appended to does.
FileDescriptor createUniqueFile(std::string& pattern) {
  static thread_local std::minstd_rand random(std::random_device{}());
  std::uniform_int_distribution<std::size_t> pick(0, kUniqueCharacters.size() - 1);
  const std::size_t at = pattern.size() - kUniqueSuffixPattern.size();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    for (std::size_t i = at; i < pattern.size(); ++i) pattern[i] = kUniqueCharacters[pick(random)];
    FileDescriptor fd(::open(pattern.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (fd || errno != EEXIST) return fd;
  }
  return FileDescriptor();  // errno is EEXIST
}

// Creates a file from the pattern holding bytes; synced, they are on the disk before the file
// is renamed or linked into place, so a power cut never leaves it empty or partial under its
// final name. Returns the temporary file's name; throws FileError(operation, finalPath, reason)
// when it cannot be written whole, with nothing left behind.
std::string writeTemporaryFile(const std::filesystem::path& finalPath, std::string_view temporaryStem,
                               std::string_view bytes, Sync sync, std::string_view operation) {
  std::string temporary = temporaryPattern(finalPath.parent_path(), temporaryStem);
  FileDescriptor fd = createUniqueFile(temporary);
  if (!fd) throw FileError(std::string(operation), finalPath, systemReason(errno));
  int error = writeAll(fd.get(), bytes);
  if (error == 0 && sync == Sync::BeforeNaming && ::fsync(fd.get()) != 0) error = errno;
  if (const int closeError = fd.close(); error == 0) error = closeError;
  if (error != 0) {
    ::unlink(temporary.c_str());
    throw FileError(std::string(operation), finalPath, systemReason(error));
  }
  return temporary;
}

}  // namespace

void createFileWithoutReplacing(const std::filesystem::path& path, std::string_view temporaryStem,
                                std::string_view bytes, Sync sync, std::string_view operation) {
  const std::string temporary = writeTemporaryFile(path, temporaryStem, bytes, sync, operation);
  int error = 0;
  if (::link(temporary.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    // A file system without hard links: the caller holds the folder's lock, so a rename puts
    // the file in place as long as it is still absent.
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  }
  ::unlink(temporary.c_str());
  if (error != 0) throw FileError(std::string(operation), path, systemReason(error));
}

std::string readWholeFile(const std::filesystem::path& path, std::size_t limitBytes) {
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) throw FileError("Не удалось прочитать файл", path, systemReason(errno));
  ReadResult read = readUpTo(fd.get(), limitBytes + 1);
  if (read.error != 0) throw FileError("Не удалось прочитать файл", path, systemReason(read.error));
  if (read.bytes.size() > limitBytes) throw FileError("Не удалось прочитать файл", path, "файл слишком велик");
  return std::move(read.bytes);
}

void replaceFileWith(const std::filesystem::path& path, std::string_view bytes) {
  constexpr std::string_view kOperation = "Не удалось записать файл";
  const std::string temporary =
      writeTemporaryFile(path, path.filename().string(), bytes, Sync::BeforeNaming, kOperation);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw FileError(std::string(kOperation), path, systemReason(error));
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
  temporary_ = temporaryPattern(path.parent_path(), path.filename().string());
  fd_ = createUniqueFile(temporary_);
  if (!fd_) throw FileError("Не удалось записать файл", path_, systemReason(errno));
}

FileReplacement::~FileReplacement() {
  if (fd_) {
    fd_.close();
    ::unlink(temporary_.c_str());
  }
}

void FileReplacement::write(std::string_view bytes) {
  if (!fd_) throw FileError("Не удалось записать файл", path_, systemReason(EBADF));
  if (pending_.empty() && bytes.size() >= bufferBytes_) {
    if (const int error = writeAll(fd_.get(), bytes); error != 0) fail(error);
    return;
  }
  pending_ += bytes;
  if (pending_.size() >= bufferBytes_) writePending();
}

void FileReplacement::commit() {
  if (!fd_) throw FileError("Не удалось записать файл", path_, systemReason(EBADF));
  writePending();
  int error = ::fsync(fd_.get()) != 0 ? errno : 0;
  if (const int closeError = fd_.close(); error == 0) error = closeError;
  if (error == 0 && ::rename(temporary_.c_str(), path_.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary_.c_str());
    throw FileError("Не удалось записать файл", path_, systemReason(error));
  }
}

void FileReplacement::writePending() {
  if (const int error = writeAll(fd_.get(), pending_); error != 0) fail(error);
  pending_.clear();
}

void FileReplacement::fail(int error) {
  fd_.close();
  ::unlink(temporary_.c_str());
  throw FileError("Не удалось записать файл", path_, systemReason(error));
}

bool fileHolds(const std::filesystem::path& path, std::string_view bytes) {
  try {
    return readWholeFile(path, bytes.size()) == bytes;
  } catch (const FileError&) {
    return false;  // missing, unreadable or larger
  }
}

void makeFileHold(const std::filesystem::path& path, std::string_view bytes) {
  if (!fileHolds(path, bytes)) replaceFileWith(path, bytes);
}

FolderLock::FolderLock(const std::filesystem::path& folder, std::string_view unavailable, std::string_view busy,
                       std::string_view busyReason) {
  fd_ = FileDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd_) throw FileError(std::string(unavailable), folder, systemReason(errno));
  if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) throw FileError(std::string(busy), folder, std::string(busyReason));
    throw FileError(std::string(unavailable), folder, systemReason(error));
  }
}

}  // namespace trevanto::base

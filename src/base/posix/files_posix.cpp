// SPDX-License-Identifier: MIT
// The floor's file operations on a POSIX system: descriptors, and names looked up relative to
// an open folder's descriptor.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <utility>

#include "base/file_error.h"
#include "base/files.h"
#include "base/folder_order.h"
#include "base/system.h"
#include "file_descriptor.h"

namespace trevanto::base {
namespace {

constexpr int kOpenToRead = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr int kCreateNew = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;

int fdOf(std::intptr_t handle) { return static_cast<int>(handle); }

std::error_code errorOf(int errorNumber) { return {errorNumber, std::system_category()}; }

FileKind kindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISDIR(mode)) return FileKind::Folder;
  return FileKind::Other;
}

FileStatus statusFrom(const struct stat& info) {
  return FileStatus{kindOf(info.st_mode),
                    static_cast<std::uint64_t>(info.st_size),
                    static_cast<std::uint64_t>(info.st_nlink),
                    static_cast<std::uint64_t>(info.st_ino),
                    static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                    static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
}

std::optional<FileStatus> statusOrError(int result, const struct stat& info, std::error_code& error) {
  if (result != 0) {
    error = lastSystemError();
    return std::nullopt;
  }
  error.clear();
  return statusFrom(info);
}

std::optional<FileIdentity> identityOrError(int result, const struct stat& info, std::error_code& error) {
  if (result != 0) {
    error = lastSystemError();
    return std::nullopt;
  }
  error.clear();
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// Reads a whole file from an open descriptor, as FileRead describes.
FileRead readOpened(const FileDescriptor& fd, std::size_t limitBytes, FileKinds kinds) {
  FileRead result;
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0) {
    result.problem = ReadProblem::Unreadable;
    result.error = lastSystemError();
    return result;
  }
  if (kinds == FileKinds::RegularOnly && !S_ISREG(info.st_mode)) {
    result.problem = ReadProblem::NotRegularFile;
    return result;
  }
  if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > limitBytes) {
    result.problem = ReadProblem::TooLarge;
    return result;
  }
  ReadResult read = readUpTo(fd.get(), limitBytes + 1);
  if (read.error != 0) {
    result.problem = ReadProblem::Unreadable;
    result.error = errorOf(read.error);
  } else if (read.bytes.size() > limitBytes) {
    result.problem = ReadProblem::TooLarge;
  } else {
    result.bytes = std::move(read.bytes);
  }
  return result;
}

// The entry's type as its directory entry gives it; only a link, or a file system that gives
// no types, costs a stat.
bool entryIsFolder(int folderFd, const dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat info {};
  return ::fstatat(folderFd, entry.d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// Lists an open folder (the listing takes dirFd over), keeping what keep says.
std::error_code listOpened(int dirFd, std::vector<FolderEntry>& entries, ListingFilter keep) {
  std::unique_ptr<DIR, DirCloser> dir(dirFd >= 0 ? ::fdopendir(dirFd) : nullptr);
  if (!dir) {
    const std::error_code error = lastSystemError();
    if (dirFd >= 0) ::close(dirFd);
    return error;
  }
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) return lastSystemError();
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || (keep.name != nullptr && !keep.name(name))) continue;
    if (keep.types == ListingFilter::Types::Folders && entry->d_type != DT_DIR && entry->d_type != DT_LNK &&
        entry->d_type != DT_UNKNOWN) {
      continue;
    }
    const bool isFolder = entryIsFolder(::dirfd(dir.get()), *entry);
    if (!keep.keeps(name, isFolder)) continue;
    entries.push_back({std::string(name), isFolder});
  }
  sortInNameOrder(entries, [](const FolderEntry& entry) -> const std::string& { return entry.name; });
  return {};
}

}  // namespace

// ---- shared helpers -------------------------------------------------------------------------

std::error_code lastSystemError() { return errorOf(errno); }

std::filesystem::path runningProgramFile(std::error_code& error) {
  return std::filesystem::canonical("/proc/self/exe", error);
}

std::optional<FileStatus> fileStatus(const std::filesystem::path& path, std::error_code& error, Links links) {
  struct stat info {};
  const int result = links == Links::Followed ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
  return statusOrError(result, info, error);
}

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path, std::error_code& error) {
  struct stat info {};
  return identityOrError(::stat(path.c_str(), &info), info, error);
}

FileRead readFile(const std::filesystem::path& path, std::size_t limitBytes, FileKinds kinds) {
  const FileDescriptor fd(::open(path.c_str(), kOpenToRead));
  return readOpened(fd, limitBytes, kinds);
}

std::error_code listFolderEntries(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                                  ListingFilter keep) {
  return listOpened(::open(folder.c_str(), kOpenFolder), entries, keep);
}

// ---- OpenFile -------------------------------------------------------------------------------

OpenFile OpenFile::toRead(const std::filesystem::path& path, std::error_code& error) {
  const int fd = ::open(path.c_str(), kOpenToRead);
  error = fd < 0 ? lastSystemError() : std::error_code();
  return OpenFile(fd);
}

OpenFile OpenFile::toAppend(const std::filesystem::path& path, std::error_code& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  error = fd < 0 ? lastSystemError() : std::error_code();
  return OpenFile(fd);
}

OpenFile OpenFile::createNew(const std::filesystem::path& path, std::error_code& error) {
  const int fd = ::open(path.c_str(), kCreateNew, 0666);
  error = fd < 0 ? lastSystemError() : std::error_code();
  return OpenFile(fd);
}

ReadChunk OpenFile::read(std::size_t limit) {
  ReadResult read = readUpTo(fdOf(handle_), limit);
  return {std::move(read.bytes), read.error != 0 ? errorOf(read.error) : std::error_code()};
}

std::error_code OpenFile::write(std::string_view bytes) {
  const int error = writeAll(fdOf(handle_), bytes);
  return error != 0 ? errorOf(error) : std::error_code();
}

std::error_code OpenFile::sync() { return ::fsync(fdOf(handle_)) != 0 ? lastSystemError() : std::error_code(); }

std::error_code OpenFile::truncate(std::uint64_t size) {
  return ::ftruncate(fdOf(handle_), static_cast<off_t>(size)) != 0 ? lastSystemError() : std::error_code();
}

std::optional<FileStatus> OpenFile::status(std::error_code& error) const {
  struct stat info {};
  return statusOrError(::fstat(fdOf(handle_), &info), info, error);
}

std::error_code OpenFile::setModifiedTime(std::int64_t secondsSinceEpoch) {
  const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(secondsSinceEpoch), 0}};
  return ::futimens(fdOf(handle_), times) != 0 ? lastSystemError() : std::error_code();
}

std::error_code OpenFile::close() {
  if (handle_ == kNone) return {};
  FileDescriptor fd(fdOf(std::exchange(handle_, kNone)));
  const int error = fd.close();
  return error != 0 ? errorOf(error) : std::error_code();
}

// ---- OpenFolder ---------------------------------------------------------------------------------

OpenFolder::OpenFolder(OpenFolder&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNone) ::close(fdOf(handle_));
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

OpenFolder::~OpenFolder() {
  if (handle_ != kNone) ::close(fdOf(handle_));
}

OpenFolder OpenFolder::open(const std::filesystem::path& path, std::error_code& error) {
  const int fd = ::open(path.c_str(), kOpenFolder);
  error = fd < 0 ? lastSystemError() : std::error_code();
  return OpenFolder(fd);
}

OpenFolder OpenFolder::openFolder(std::string_view name, std::error_code& error) const {
  const int fd = ::openat(fdOf(handle_), std::string(name).c_str(), kOpenFolder);
  error = fd < 0 ? lastSystemError() : std::error_code();
  return OpenFolder(fd);
}

OpenFolder OpenFolder::parent(std::error_code& error) const { return openFolder("..", error); }

OpenFolder OpenFolder::again(std::error_code& error) const { return openFolder(".", error); }

std::optional<FileStatus> OpenFolder::status(std::error_code& error) const {
  struct stat info {};
  return statusOrError(::fstat(fdOf(handle_), &info), info, error);
}

std::optional<FileIdentity> OpenFolder::identity(std::error_code& error) const {
  struct stat info {};
  return identityOrError(::fstat(fdOf(handle_), &info), info, error);
}

std::optional<FileStatus> OpenFolder::statusOf(std::string_view name, std::error_code& error, Links links) const {
  struct stat info {};
  const int flags = links == Links::Followed ? 0 : AT_SYMLINK_NOFOLLOW;
  return statusOrError(::fstatat(fdOf(handle_), std::string(name).c_str(), &info, flags), info, error);
}

std::vector<FolderEntry> OpenFolder::entries(std::error_code& error) const {
  std::vector<FolderEntry> entries;
  error = listOpened(::openat(fdOf(handle_), ".", kOpenFolder), entries, {});
  return entries;
}

FileRead OpenFolder::readFile(std::string_view name, std::size_t limitBytes, FileKinds kinds) const {
  const FileDescriptor fd(::openat(fdOf(handle_), std::string(name).c_str(), kOpenToRead));
  return readOpened(fd, limitBytes, kinds);
}

std::error_code OpenFolder::makeFolder(std::string_view name) const {
  return ::mkdirat(fdOf(handle_), std::string(name).c_str(), 0777) != 0 ? lastSystemError() : std::error_code();
}

OpenFile OpenFolder::createNew(std::string_view name, std::error_code& error) const {
  const int fd = ::openat(fdOf(handle_), std::string(name).c_str(), kCreateNew, 0666);
  error = fd < 0 ? lastSystemError() : std::error_code();
  return OpenFile(fd);
}

std::error_code OpenFolder::placeWithoutReplacing(std::string_view temporary, std::string_view name) const {
  const int dirFd = fdOf(handle_);
  const std::string from(temporary);
  const std::string to(name);
  if (::renameat2(dirFd, from.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return lastSystemError();
  // A file system that cannot rename without replacing: a hard link cannot replace either.
  if (::linkat(dirFd, from.c_str(), dirFd, to.c_str(), 0) == 0) {
    ::unlinkat(dirFd, from.c_str(), 0);
    return {};
  }
  if (errno == EEXIST) return lastSystemError();
  // Nor has hard links (FAT): look, then rename.
  struct stat info {};
  if (::fstatat(dirFd, to.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) return errorOf(EEXIST);
  if (::renameat(dirFd, from.c_str(), dirFd, to.c_str()) != 0) return lastSystemError();
  return {};
}

std::error_code OpenFolder::removeFile(std::string_view name) const {
  return ::unlinkat(fdOf(handle_), std::string(name).c_str(), 0) != 0 ? lastSystemError() : std::error_code();
}

std::error_code OpenFolder::tryLock() const {
  if (::flock(fdOf(handle_), LOCK_EX | LOCK_NB) == 0) return {};
  if (errno == EWOULDBLOCK) return std::make_error_code(std::errc::resource_unavailable_try_again);
  return lastSystemError();
}

// ---- By path --------------------------------------------------------------------------------

std::error_code makeFolder(const std::filesystem::path& path) {
  return ::mkdir(path.c_str(), 0777) != 0 ? lastSystemError() : std::error_code();
}

std::error_code removeFile(const std::filesystem::path& path) {
  return ::unlink(path.c_str()) != 0 ? lastSystemError() : std::error_code();
}

std::error_code renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) != 0 ? lastSystemError() : std::error_code();
}

std::error_code linkFile(const std::filesystem::path& existing, const std::filesystem::path& newName) {
  return ::link(existing.c_str(), newName.c_str()) != 0 ? lastSystemError() : std::error_code();
}

std::error_code canRead(const std::filesystem::path& path) {
  return ::access(path.c_str(), R_OK) != 0 ? lastSystemError() : std::error_code();
}

std::error_code canWriteInto(const std::filesystem::path& folder) {
  return ::access(folder.c_str(), W_OK) != 0 ? lastSystemError() : std::error_code();
}

std::error_code syncFolderEntries(const std::filesystem::path& folder) {
  const FileDescriptor fd(::open(folder.c_str(), kOpenFolder));
  if (!fd || ::fsync(fd.get()) != 0) return lastSystemError();
  return {};
}

std::error_code syncFileAt(const std::filesystem::path& file) {
  const FileDescriptor fd(::open(file.c_str(), kOpenToRead));
  if (!fd || ::fsync(fd.get()) != 0) return lastSystemError();
  return {};
}

}  // namespace trevanto::base

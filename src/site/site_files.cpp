// SPDX-License-Identifier: MIT
#include "site_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "base/file_descriptor.h"
#include "base/file_error.h"
#include "page_format.h"

namespace trevanto::site {
namespace {

constexpr std::string_view kNewPageTemporaryStem = "trevanto-page";
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
base::FileDescriptor createUniqueFile(std::string& pattern) {
  static thread_local std::minstd_rand random(std::random_device{}());
  std::uniform_int_distribution<std::size_t> pick(0, kUniqueCharacters.size() - 1);
  const std::size_t at = pattern.size() - kUniqueSuffixPattern.size();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    for (std::size_t i = at; i < pattern.size(); ++i) pattern[i] = kUniqueCharacters[pick(random)];
    base::FileDescriptor fd(::open(pattern.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (fd || errno != EEXIST) return fd;
  }
  return base::FileDescriptor();  // errno is EEXIST
}

// Creates a file from the pattern holding bytes; synced, they are on the disk before the file
// is renamed or linked into place, so a power cut never leaves it empty or partial under its
// final name. Returns 0, the errno of a failed write (the file is there to remove), or -1 with
// errno set when no file could be created.
int writeTemporaryFile(std::string& pattern, std::string_view bytes, Sync sync) {
  base::FileDescriptor fd = createUniqueFile(pattern);
  if (!fd) return -1;
  int error = base::writeAll(fd.get(), bytes);
  if (error == 0 && sync == Sync::BeforeNaming && ::fsync(fd.get()) != 0) error = errno;
  const int closeError = fd.close();
  return error != 0 ? error : closeError;
}

}  // namespace

PageAppender::PageAppender(const std::filesystem::path& page, std::size_t bufferBytes)
    : path_(page), bufferBytes_(bufferBytes) {
  fd_ = base::FileDescriptor(::open(page.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
  struct stat info {};
  if (!fd_ || ::fstat(fd_.get(), &info) != 0) {
    throw base::FileError("Не удалось открыть страницу для записи", path_, base::systemReason(errno));
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
}

PageAppender::~PageAppender() {
  try {
    flush();
  } catch (const base::FileError&) {
    // Reported by an explicit flush() where it matters; the page keeps whole lines either way.
  }
}

void PageAppender::appendLine(std::string_view line) {
  pending_ += line;
  pending_ += kLineEnd;
  if (pending_.size() >= bufferBytes_) flush();
}

void PageAppender::flush() {
  if (pending_.empty()) return;
  if (const int error = base::writeAll(fd_.get(), pending_); error != 0) {
    pending_.clear();
    // Take back the part that did go out.
    if (::ftruncate(fd_.get(), static_cast<off_t>(size_)) != 0) {
      // Nothing more can be done; the reason below still names the page.
    }
    throw base::FileError("Не удалось дописать страницу", path_, base::systemReason(error));
  }
  size_ += pending_.size();
  pending_.clear();
  // Lines written to a page that was removed meanwhile (with its folder, say) are lost.
  struct stat info {};
  if (::fstat(fd_.get(), &info) == 0 && info.st_nlink == 0) {
    throw base::FileError("Не удалось дописать страницу", path_, base::systemReason(ENOENT));
  }
}

void appendLineTo(const std::filesystem::path& page, std::string_view line) {
  PageAppender appender(page);
  appender.appendLine(line);
  appender.flush();
}

void createPageWithLine(const std::filesystem::path& page, std::string_view line, Sync sync) {
  std::string whole(line);
  whole += kLineEnd;
  std::string temporary = temporaryPattern(page.parent_path(), kNewPageTemporaryStem);
  int error = writeTemporaryFile(temporary, whole, sync);
  if (error == -1) throw base::FileError("Не удалось создать страницу", page, base::systemReason(errno));
  if (error == 0 && ::link(temporary.c_str(), page.c_str()) != 0 && errno != EEXIST) {
    // A file system without hard links: the run holds the folder's lock, so a rename puts
    // the page in place as long as it is still absent.
    struct stat info {};
    if (::lstat(page.c_str(), &info) != 0 && ::rename(temporary.c_str(), page.c_str()) != 0) error = errno;
  }
  ::unlink(temporary.c_str());
  if (error != 0) throw base::FileError("Не удалось создать страницу", page, base::systemReason(error));
}

std::string readWholeFile(const std::filesystem::path& path, std::size_t limitBytes) {
  const base::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) throw base::FileError("Не удалось прочитать файл", path, base::systemReason(errno));
  base::ReadResult read = base::readUpTo(fd.get(), limitBytes + 1);
  if (read.error != 0) throw base::FileError("Не удалось прочитать файл", path, base::systemReason(read.error));
  if (read.bytes.size() > limitBytes) throw base::FileError("Не удалось прочитать файл", path, "файл слишком велик");
  return std::move(read.bytes);
}

void replaceFileWith(const std::filesystem::path& path, std::string_view bytes) {
  std::string temporary = temporaryPattern(path.parent_path(), path.filename().string());
  int error = writeTemporaryFile(temporary, bytes, Sync::BeforeNaming);
  if (error == -1) throw base::FileError("Не удалось записать файл", path, base::systemReason(errno));
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    throw base::FileError("Не удалось записать файл", path, base::systemReason(error));
  }
}

bool isLeftoverTemporaryFile(std::string_view name) {
  if (isTemporaryFileFor(name, kNewPageTemporaryStem)) return true;
  for (std::string_view templateName : kTemplateNames) {
    if (isTemporaryFileFor(name, templateName)) return true;
  }
  return false;
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
  if (!fd_) throw base::FileError("Не удалось записать файл", path_, base::systemReason(errno));
}

FileReplacement::~FileReplacement() {
  if (fd_) {
    fd_.close();
    ::unlink(temporary_.c_str());
  }
}

void FileReplacement::write(std::string_view bytes) {
  if (!fd_) throw base::FileError("Не удалось записать файл", path_, base::systemReason(EBADF));
  if (pending_.empty() && bytes.size() >= bufferBytes_) {
    if (const int error = base::writeAll(fd_.get(), bytes); error != 0) fail(error);
    return;
  }
  pending_ += bytes;
  if (pending_.size() >= bufferBytes_) writePending();
}

void FileReplacement::commit() {
  if (!fd_) throw base::FileError("Не удалось записать файл", path_, base::systemReason(EBADF));
  writePending();
  int error = ::fsync(fd_.get()) != 0 ? errno : 0;
  if (const int closeError = fd_.close(); error == 0) error = closeError;
  if (error == 0 && ::rename(temporary_.c_str(), path_.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary_.c_str());
    throw base::FileError("Не удалось записать файл", path_, base::systemReason(error));
  }
}

void FileReplacement::writePending() {
  if (const int error = base::writeAll(fd_.get(), pending_); error != 0) fail(error);
  pending_.clear();
}

void FileReplacement::fail(int error) {
  fd_.close();
  ::unlink(temporary_.c_str());
  throw base::FileError("Не удалось записать файл", path_, base::systemReason(error));
}

bool fileHolds(const std::filesystem::path& path, std::string_view bytes) {
  try {
    return readWholeFile(path, bytes.size()) == bytes;
  } catch (const base::FileError&) {
    return false;  // missing, unreadable or larger
  }
}

void makeFileHold(const std::filesystem::path& path, std::string_view bytes) {
  if (!fileHolds(path, bytes)) replaceFileWith(path, bytes);
}

SiteFolderLock::SiteFolderLock(const std::filesystem::path& siteFolder) {
  fd_ = base::FileDescriptor(::open(siteFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd_) throw base::FileError("Папка сайта недоступна", siteFolder, base::systemReason(errno));
  if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) {
      throw base::FileError("Папка сайта занята", siteFolder, "в неё уже пишет другое преобразование");
    }
    throw base::FileError("Папка сайта недоступна", siteFolder, base::systemReason(error));
  }
}

}  // namespace trevanto::site

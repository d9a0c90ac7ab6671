// SPDX-License-Identifier: MIT
#include "site_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "site_error.h"

namespace trevanto::site {
namespace {

// Writes all bytes; returns 0 or the errno of the failure.
int writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (put == 0) return ENOSPC;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return 0;
}

// Creates a file from the mkstemp pattern (which receives its name) holding bytes, readable by
// all. Returns 0, the errno of a failed write (the file is there to remove), or -1 with errno
// set when no file could be created.
int writeTemporaryFile(std::string& pattern, std::string_view bytes) {
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return -1;
  int error = writeAll(fd, bytes);
  if (error == 0 && ::fchmod(fd, 0644) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

PageAppender::PageAppender(const std::filesystem::path& page, std::size_t bufferBytes)
    : path_(page), bufferBytes_(bufferBytes) {
  fd_ = ::open(page.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd_ < 0) throw SiteError("Не удалось открыть страницу для записи", path_, systemReason(errno));
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    const int error = errno;
    ::close(fd_);
    throw SiteError("Не удалось открыть страницу для записи", path_, systemReason(error));
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
}

PageAppender::~PageAppender() {
  try {
    flush();
  } catch (const SiteError&) {
    // Reported by an explicit flush() where it matters; the page keeps whole lines either way.
  }
  ::close(fd_);
}

void PageAppender::appendLine(std::string_view line) {
  pending_ += line;
  pending_ += "\r\n";
  if (pending_.size() >= bufferBytes_) flush();
}

void PageAppender::flush() {
  if (pending_.empty()) return;
  if (const int error = writeAll(fd_, pending_); error != 0) {
    pending_.clear();
    // Take back the part that did go out.
    if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
      // Nothing more can be done; the reason below still names the page.
    }
    throw SiteError("Не удалось дописать страницу", path_, systemReason(error));
  }
  size_ += pending_.size();
  pending_.clear();
  // Lines written to a page that was removed meanwhile (with its folder, say) are lost.
  struct stat info {};
  if (::fstat(fd_, &info) == 0 && info.st_nlink == 0) {
    throw SiteError("Не удалось дописать страницу", path_, systemReason(ENOENT));
  }
}

void appendLineTo(const std::filesystem::path& page, std::string_view line) {
  PageAppender appender(page);
  appender.appendLine(line);
  appender.flush();
}

void createPageWithLine(const std::filesystem::path& page, std::string_view line) {
  std::string whole(line);
  whole += "\r\n";
  std::string temporary = (page.parent_path() / ".trevanto-page.XXXXXX").string();
  int error = writeTemporaryFile(temporary, whole);
  if (error == -1) throw SiteError("Не удалось создать страницу", page, systemReason(errno));
  if (error == 0 && ::link(temporary.c_str(), page.c_str()) != 0 && errno != EEXIST) {
    // A file system without hard links: the run holds the folder's lock, so a rename puts
    // the page in place as long as it is still absent.
    struct stat info {};
    if (::lstat(page.c_str(), &info) != 0 && ::rename(temporary.c_str(), page.c_str()) != 0) error = errno;
  }
  ::unlink(temporary.c_str());
  if (error != 0) throw SiteError("Не удалось создать страницу", page, systemReason(error));
}

std::string readWholeFile(const std::filesystem::path& path, std::size_t limitBytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw SiteError("Не удалось прочитать файл", path, systemReason(errno));
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      throw SiteError("Не удалось прочитать файл", path, systemReason(error));
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
    if (bytes.size() > limitBytes) {
      ::close(fd);
      throw SiteError("Не удалось прочитать файл", path, "файл слишком велик");
    }
  }
  ::close(fd);
  return bytes;
}

void replaceFileWith(const std::filesystem::path& path, std::string_view bytes) {
  std::string hiddenName = ".";
  hiddenName += path.filename().string();
  hiddenName += ".XXXXXX";
  std::string temporary = (path.parent_path() / hiddenName).string();
  int error = writeTemporaryFile(temporary, bytes);
  if (error == -1) throw SiteError("Не удалось записать файл", path, systemReason(errno));
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    throw SiteError("Не удалось записать файл", path, systemReason(error));
  }
}

void makeFileHold(const std::filesystem::path& path, std::string_view bytes) {
  try {
    if (readWholeFile(path, bytes.size()) == bytes) return;
  } catch (const SiteError&) {
    // Missing, unreadable or larger: replace it.
  }
  replaceFileWith(path, bytes);
}

SiteFolderLock::SiteFolderLock(const std::filesystem::path& siteFolder) {
  fd_ = ::open(siteFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) throw SiteError("Папка сайта недоступна", siteFolder, systemReason(errno));
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd_);
    if (error == EWOULDBLOCK) {
      throw SiteError("Папка сайта занята", siteFolder, "в неё уже пишет другое преобразование");
    }
    throw SiteError("Папка сайта недоступна", siteFolder, systemReason(error));
  }
}

SiteFolderLock::~SiteFolderLock() { ::close(fd_); }

}  // namespace trevanto::site

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

}  // namespace

PageAppender::PageAppender(const std::filesystem::path& page) : path_(page) {
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

PageAppender::~PageAppender() { ::close(fd_); }

void PageAppender::appendLine(std::string_view line) {
  std::string whole;
  whole.reserve(line.size() + 2);
  whole += line;
  whole += "\r\n";
  if (const int error = writeAll(fd_, whole); error != 0) {
    // Take back the part of the line that did go out.
    if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
      // Nothing more can be done; the reason below still names the page.
    }
    throw SiteError("Не удалось дописать страницу", path_, systemReason(error));
  }
  size_ += whole.size();
}

void appendLineTo(const std::filesystem::path& page, std::string_view line) { PageAppender(page).appendLine(line); }

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
  std::string temporary = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) throw SiteError("Не удалось записать файл", path, systemReason(errno));
  int error = writeAll(fd, bytes);
  if (error == 0 && ::fchmod(fd, 0644) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    throw SiteError("Не удалось записать файл", path, systemReason(error));
  }
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

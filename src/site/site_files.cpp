// SPDX-License-Identifier: MIT
#include "site_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "base/posix/file_descriptor.h"
#include "base/file_error.h"
#include "base/whole_files.h"
#include "page_format.h"

namespace trevanto::site {
namespace {

constexpr std::string_view kNewPageTemporaryStem = "trevanto-page";

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

void createPageWithLine(const std::filesystem::path& page, std::string_view line, base::Sync sync) {
  std::string whole(line);
  whole += kLineEnd;
  base::createFileWithoutReplacing(page, kNewPageTemporaryStem, whole, sync, "Не удалось создать страницу");
}

bool isLeftoverTemporaryFile(std::string_view name) {
  if (base::isTemporaryFileFor(name, kNewPageTemporaryStem)) return true;
  for (std::string_view templateName : kTemplateNames) {
    if (base::isTemporaryFileFor(name, templateName)) return true;
  }
  return false;
}

SiteFolderLock::SiteFolderLock(const std::filesystem::path& siteFolder)
    : lock_(siteFolder, "Папка сайта недоступна", "Папка сайта занята", "в неё уже пишет другое преобразование") {}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
#include "site_files.h"

#include <cerrno>
#include <utility>

#include "base/file_error.h"
#include "base/files.h"
#include "base/whole_files.h"
#include "page_format.h"

namespace trevanto::site {
namespace {

constexpr std::string_view kNewPageTemporaryStem = "trevanto-page";

}  // namespace

PageAppender::PageAppender(const std::filesystem::path& page, std::size_t bufferBytes)
    : path_(page), bufferBytes_(bufferBytes) {
  constexpr std::string_view kOpenFailed = "Не удалось открыть страницу для записи";
  std::error_code error;
  file_ = base::OpenFile::toAppend(page, error);
  base::throwIfFailed(error, kOpenFailed, path_);
  const std::optional<base::FileStatus> status = file_.status(error);
  base::throwIfFailed(error, kOpenFailed, path_);
  size_ = status->size;
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
  ++pendingLines_;
  if (pending_.size() >= bufferBytes_) flush();
}

void PageAppender::flush() {
  if (pending_.empty()) return;
  const std::size_t lines = std::exchange(pendingLines_, 0);
  if (const std::error_code error = file_.write(pending_)) {
    pending_.clear();
    // Take back the part that did go out. Should that fail too, nothing more can be done; the
    // reason below still names the page.
    file_.truncate(size_);
    base::throwIfFailed(error, "Не удалось дописать страницу", path_);
  }
  size_ += pending_.size();
  pending_.clear();
  // Lines written to a page that was removed meanwhile (with its folder, say) are lost.
  std::error_code error;
  if (const std::optional<base::FileStatus> status = file_.status(error); status && status->links == 0) {
    throw base::FileError("Не удалось дописать страницу", path_, base::systemReason(ENOENT));
  }
  linesWritten_ += lines;
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

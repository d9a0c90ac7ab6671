// SPDX-License-Identifier: MIT
// The parts of the floor's file operations that every system shares.
#include "files.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include "file_error.h"
#include "path_text.h"
#include "system.h"

namespace trevanto::base {
namespace {

constexpr std::string_view kSyncFailed = "Не удалось записать на диск";
constexpr std::size_t kMaxSyncsAtOnce = 16;

}  // namespace

std::string systemReason(const std::error_code& error) { return error.message(); }

// An open file's handle moves with it and is closed once, by the system's close().
OpenFile::OpenFile(OpenFile&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

OpenFile::~OpenFile() { close(); }

void throwIfFailed(const std::error_code& error, std::string_view operation, const std::filesystem::path& path) {
  if (error) throw FileError(std::string(operation), path, systemReason(error));
}

bool isRegularFile(const std::filesystem::path& path) {
  std::error_code error;
  const std::optional<FileStatus> status = fileStatus(path, error);
  return status && status->kind == FileKind::Regular;
}

bool isFolder(const std::filesystem::path& path) {
  std::error_code error;
  const std::optional<FileStatus> status = fileStatus(path, error);
  return status && status->kind == FileKind::Folder;
}

std::string FileRead::reason() const {
  switch (problem) {
    case ReadProblem::Unreadable:
      return systemReason(error);
    case ReadProblem::NotRegularFile:
      return "не обычный файл";
    case ReadProblem::TooLarge:
      return "файл слишком велик";
    case ReadProblem::None:
      break;
  }
  return {};
}

std::string FileRead::take(std::string_view operation, const std::filesystem::path& shownAs) && {
  if (problem != ReadProblem::None) throw FileError(std::string(operation), shownAs, reason());
  return std::move(bytes);
}

void syncFolder(const std::filesystem::path& folder) { throwIfFailed(syncFolderEntries(folder), kSyncFailed, folder); }

void syncTogether(const std::vector<std::string>& files, const std::vector<std::string>& folders) {
  // Many syncs at once: the file system commits them together, where one after another would
  // each wait for a commit and a flush of their own (a few ms each, most of a first run).
  std::atomic<std::size_t> next = 0;
  std::mutex failureMutex;
  std::optional<std::pair<std::string, std::error_code>> failure;
  const auto syncFiles = [&] {
    for (std::size_t at; (at = next++) < files.size();) {
      const std::error_code error = syncFileAt(pathOf(files[at]));
      if (!error || error == std::errc::no_such_file_or_directory) continue;  // removed meanwhile
      const std::lock_guard lock(failureMutex);
      if (!failure) failure.emplace(files[at], error);
    }
  };
  {
    std::vector<std::jthread> syncers;
    const std::size_t count = std::min(files.size(), kMaxSyncsAtOnce);
    try {
      for (std::size_t i = 1; i < count; ++i) syncers.emplace_back(syncFiles);
    } catch (const std::system_error&) {
      // No more threads to be had: those started, and this one, sync the rest.
    }
    syncFiles();
  }
  if (failure) throw FileError(std::string(kSyncFailed), pathOf(failure->first), systemReason(failure->second));
  for (const std::string& folder : folders) syncFolder(pathOf(folder));
}

}  // namespace trevanto::base

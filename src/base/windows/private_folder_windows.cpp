// SPDX-License-Identifier: MIT
// The private temporary folder on Windows: a folder of a name no one else has under the user's
// own temporary folder, and a console handler that removes it when Ctrl+C or the closing of the
// console ends the program.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "base/file_error.h"
#include "base/files.h"
#include "base/private_folder.h"
#include "base/process.h"
#include "windows_text.h"

namespace trevanto::base {
namespace {

namespace fs = std::filesystem;

// What the console handler removes, filled before it is installed.
std::mutex gRemovalMutex;
std::wstring gFolder;
std::vector<std::wstring> gFiles;
std::atomic<bool> gHandlerInstalled = false;

BOOL WINAPI removeOnConsoleEvent(DWORD) {
  const std::lock_guard lock(gRemovalMutex);
  for (const std::wstring& file : gFiles) ::DeleteFileW(file.c_str());
  if (!gFolder.empty()) ::RemoveDirectoryW(gFolder.c_str());
  // Then the handlers installed before this one decide how the program ends.
  return FALSE;
}

}  // namespace

// The temporary folder is the user's own: what stands in it with the prefix is theirs.
bool PrivateFolder::isThisUsersFolder(const fs::path&) { return true; }

PrivateFolder::PrivateFolder(std::string_view prefix, std::initializer_list<std::string_view> fileNames) {
  std::error_code error;
  fs::path temporary = fs::temp_directory_path(error);
  if (error) throw FileError("Не удалось создать временную папку", fs::path(), systemReason(error));
  removeLeftovers(temporary, prefix);
  std::random_device random;
  const std::string start = namePrefix(prefix, currentProcessId());
  for (int attempt = 0;; ++attempt) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = start;
    for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    const fs::path candidate = temporary / fs::path(windows::wideOf(name));
    const std::error_code made = makeFolder(candidate);
    if (!made) {
      path_ = candidate;
      break;
    }
    if (made != std::errc::file_exists || attempt == 100)
      throw FileError("Не удалось создать временную папку", candidate, systemReason(made));
  }
  const std::lock_guard lock(gRemovalMutex);
  // A second folder while one is kept (never so far) is removed on the normal path only.
  if (!gFolder.empty()) return;
  gFolder = windows::systemPath(path_);
  gFiles.clear();
  for (std::string_view name : fileNames) gFiles.push_back(windows::systemPath(path_ / fs::path(windows::wideOf(name))));
  if (!gHandlerInstalled.exchange(true)) ::SetConsoleCtrlHandler(removeOnConsoleEvent, TRUE);
}

PrivateFolder::~PrivateFolder() {
  {
    const std::lock_guard lock(gRemovalMutex);
    if (gFolder == windows::systemPath(path_)) {
      gFolder.clear();
      gFiles.clear();
    }
  }
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace trevanto::base

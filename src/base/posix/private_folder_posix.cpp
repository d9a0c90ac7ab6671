// SPDX-License-Identifier: MIT
// The private temporary folder on a POSIX system: mkdtemp, and a signal handler that removes it.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include "base/file_error.h"
#include "base/private_folder.h"
#include "base/process.h"

namespace trevanto::base {
namespace {

namespace fs = std::filesystem;

// What the signal handler removes: fixed buffers, filled before the handler is installed.
constexpr std::size_t kMaxFiles = 6;
constexpr std::array<int, 5> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
char gFolder[PATH_MAX];
char gFiles[kMaxFiles][PATH_MAX];
volatile sig_atomic_t gFileCount = 0;
struct sigaction gPrevious[kSignals.size()];

void removeOnSignal(int signal) {
  for (sig_atomic_t i = 0; i < gFileCount; ++i) ::unlink(gFiles[i]);
  ::rmdir(gFolder);
  // Then ended as the signal ends a program.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

bool copyInto(char* buffer, const std::string& text) {
  if (text.size() >= PATH_MAX) return false;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

bool PrivateFolder::isThisUsersFolder(const fs::path& folder) {
  // Not through a link, and owned by this user: the temporary folder is shared by every user.
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

PrivateFolder::PrivateFolder(std::string_view prefix, std::initializer_list<std::string_view> fileNames) {
  std::error_code error;
  fs::path temporary = fs::temp_directory_path(error);
  if (error) temporary = "/tmp";
  removeLeftovers(temporary, prefix);
  std::string pattern = (temporary / (namePrefix(prefix, currentProcessId()) + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw FileError("Не удалось создать временную папку", pattern, systemReason(errno));
  path_ = pattern;
  // A second folder while one is kept (never so far) is removed on the normal path only.
  if (gFileCount != 0 || fileNames.size() > kMaxFiles || !copyInto(gFolder, pattern)) return;
  sig_atomic_t count = 0;
  for (std::string_view name : fileNames) {
    if (copyInto(gFiles[count], (path_ / name).string())) ++count;
  }
  gFileCount = count;
  struct sigaction action {};
  action.sa_handler = removeOnSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], nullptr, &gPrevious[i]);
    // A signal the program was told to ignore stays ignored.
    if (gPrevious[i].sa_handler == SIG_IGN) continue;
    ::sigaction(kSignals[i], &action, nullptr);
  }
}

PrivateFolder::~PrivateFolder() {
  if (gFileCount != 0 && path_ == gFolder) {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
      if (gPrevious[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    }
    gFileCount = 0;
  }
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace trevanto::base

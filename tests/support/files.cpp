// SPDX-License-Identifier: MIT
#include "support/files.h"

#include <fcntl.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "base/posix/file_descriptor.h"

namespace trevanto::testing {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "trevanto-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Give back write permission that a test may have taken away, so everything can go.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                   ignored);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const std::filesystem::path& path) {
  // Plain read(2) calls: the benchmarks use this as their floor of reading a file.
  const base::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return {};
  return base::readUpTo(fd.get(), SIZE_MAX).bytes;
}

std::string shortcutText(std::string_view address) {
  return "[InternetShortcut]\r\nURL=" + std::string(address) + "\r\n";
}

void writeShortcut(const std::filesystem::path& folder, std::string_view name, std::string_view address) {
  writeFile(folder / (std::string(name) + ".url"), shortcutText(address));
}

}  // namespace trevanto::testing

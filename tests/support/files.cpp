// SPDX-License-Identifier: MIT
#include "support/files.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#ifdef _WIN32
#include <random>

#include "base/files.h"
#else
#include <fcntl.h>

#include "base/posix/file_descriptor.h"
#endif

namespace trevanto::testing {

#ifdef _WIN32
TempFolder::TempFolder() {
  // A name no one else has, made as mkdtemp makes it.
  static thread_local std::mt19937_64 random(std::random_device{}());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        std::filesystem::temp_directory_path() / ("trevanto-test-" + std::to_string(random() % 1'000'000'000'000ULL));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}
#else
TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "trevanto-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}
#endif

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
#ifdef _WIN32
  base::FileRead read = base::readFile(path, SIZE_MAX - 1, base::FileKinds::Any);
  return read ? std::move(read.bytes) : std::string();
#else
  // Plain read(2) calls: the benchmarks use this as their floor of reading a file.
  const base::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return {};
  return base::readUpTo(fd.get(), SIZE_MAX).bytes;
#endif
}

std::string shortcutText(std::string_view address) {
  return "[InternetShortcut]\r\nURL=" + std::string(address) + "\r\n";
}

void writeShortcut(const std::filesystem::path& folder, std::string_view name, std::string_view address) {
  writeFile(folder / base::pathOf(std::string(name) + ".url"), shortcutText(address));
}

}  // namespace trevanto::testing

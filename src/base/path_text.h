// SPDX-License-Identifier: MIT
// Paths made from the program's text and back: names are UTF-8 inside the program on every
// system. A std::filesystem::path made straight from a std::string takes it in the system's
// narrow code page, which on Windows is not UTF-8; these take and give UTF-8 everywhere (on
// Linux the bytes pass as they are, whatever they hold; on Windows bytes that are no UTF-8 are
// read as Windows-1251, as listings read such names).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <type_traits>

#include "charset.h"

namespace trevanto::base {

inline std::filesystem::path pathOf(std::string_view utf8) {
  if constexpr (std::is_same_v<std::filesystem::path::value_type, char>) {
    return std::filesystem::path(utf8);
  } else {
    // The system holds names in UTF-16: bytes that are no UTF-8 are taken as a name of an old
    // disk, in Windows-1251, as the listings take them.
    const std::string text = fileNameToUtf8(utf8);
    return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
  }
}

inline std::string textOf(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The same text where a look is all that is needed: on Linux the path's own string, not copied.
template <typename Path = std::filesystem::path>
decltype(auto) textView(const Path& path) {
  if constexpr (std::is_same_v<typename Path::value_type, char>) {
    return path.native();
  } else {
    return textOf(path);
  }
}

}  // namespace trevanto::base

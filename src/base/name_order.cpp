// SPDX-License-Identifier: MIT
// The one order of folders and files: case left aside in every alphabet, as an NTFS folder
// orders its names.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "charset.h"
#include "folder_order.h"
#include "text.h"

namespace trevanto::base {
namespace {

struct UpperCase {
  std::uint32_t from;
  std::uint32_t to;
};

// Unicode's simple upper-case mapping, one character to one character, generated at build time
// from the character database (cmake/SimpleUpperCase.cmake).
constexpr UpperCase kSimpleUpperCase[] = {
#include "simple_upper_case.inc"
};

static_assert(std::size(kSimpleUpperCase) > 1000);

bool isAscii(std::string_view name) {
  return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

char32_t simpleUpperCase(char32_t cp) {
  if (cp < 0x80) return cp >= U'a' && cp <= U'z' ? cp - U'a' + U'A' : cp;
  const auto* end = std::end(kSimpleUpperCase);
  const auto* found = std::lower_bound(std::begin(kSimpleUpperCase), end, static_cast<std::uint32_t>(cp),
                                       [](const UpperCase& entry, std::uint32_t value) { return entry.from < value; });
  return found != end && found->from == cp ? static_cast<char32_t>(found->to) : cp;
}

std::u32string nameOrderKey(std::string_view name) {
  std::u32string key;
  key.reserve(name.size());
  const auto append = [&key](std::string_view utf8) {
    forEachCodePoint(utf8, [&key](char32_t cp, std::string_view) { key.push_back(simpleUpperCase(cp)); });
  };
  if (isValidUtf8(name)) {
    append(name);
  } else {
    append(windows1251ToUtf8(name));
  }
  return key;
}

bool nameOrderLess(std::string_view a, std::string_view b) {
  if (isAscii(a) && isAscii(b)) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
      const auto ua = static_cast<unsigned char>(asciiUpper(a[i]));
      const auto ub = static_cast<unsigned char>(asciiUpper(b[i]));
      if (ua != ub) return ua < ub;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
  }
  const std::u32string keyA = nameOrderKey(a);
  const std::u32string keyB = nameOrderKey(b);
  if (keyA != keyB) return keyA < keyB;
  return a < b;
}

}  // namespace trevanto::base

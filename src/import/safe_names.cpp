// SPDX-License-Identifier: MIT
#include "safe_names.h"

#include <algorithm>

#include "address/address_identity.h"
#include "base/charset.h"
#include "base/folder_order.h"

namespace trevanto::import {

std::string titleAsUtf8(std::string_view title) { return base::fileNameToUtf8(title); }

std::string hostOf(std::string_view address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos || address.substr(colon + 1, 2) != "//") return {};
  std::string_view authority = address.substr(colon + 3);
  authority = authority.substr(0, std::min(authority.find_first_of("/?#\\"), authority.size()));
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  if (authority.starts_with('[')) return std::string(authority.substr(0, authority.find(']') + 1));
  return std::string(authority.substr(0, authority.find(':')));
}

std::string shortcutBaseName(std::string_view title, std::string_view address) {
  std::string name = safeName(title);
  if (name.empty()) name = safeName(address::readableHost(hostOf(address)));
  if (name.empty()) name = kDefaultTitle;
  return name;
}

std::string foldCase(std::string_view utf8) {
  std::string key;
  key.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    char32_t cp = 0;
    const std::size_t len = base::decodeUtf8At(utf8, pos, cp);
    if (len == 0) {
      key.push_back(utf8[pos++]);
      continue;
    }
    pos += len;
    base::appendUtf8(key, base::simpleUpperCase(cp));
  }
  return key;
}

}  // namespace trevanto::import

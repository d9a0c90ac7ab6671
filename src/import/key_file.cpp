// SPDX-License-Identifier: MIT
#include "key_file.h"

namespace trevanto::import {

std::string KeyFile::value(std::string_view group, std::string_view key) const {
  for (const Group& each : groups_) {
    if (each.name != group) continue;
    for (const auto& [name, value] : each.entries) {
      if (name == key) return value;
    }
  }
  return {};
}

}  // namespace trevanto::import

// SPDX-License-Identifier: MIT
// Adding a format: a reader in a file of its own, one line here, one line in CMakeLists.txt.
#include "reader_registry.h"

#include <algorithm>

#include "formats.h"

namespace trevanto::import {

const std::vector<std::unique_ptr<Reader>>& fileReaders() {
  static const std::vector<std::unique_ptr<Reader>> readers = [] {
    std::vector<std::unique_ptr<Reader>> made;
    // A database and a property list are told by their magic; a shortcut and a freedesktop link
    // by their first group; XBEL by its root element; JSON and HTML by their first character,
    // so they come last.
    made.push_back(makePlacesReader());
    made.push_back(makePropertyListReader());
    made.push_back(makeInternetShortcutReader());
    made.push_back(makeDesktopEntryReader());
    made.push_back(makeXbelReader());
    made.push_back(makeChromiumReader());
    made.push_back(makeNetscapeReader());
    return made;
  }();
  return readers;
}

const std::vector<const Reader*>& linkFileReaders() {
  static const std::vector<const Reader*> readers = [] {
    std::vector<const Reader*> made;
    for (const auto& reader : fileReaders()) {
      if (!reader->linkFileExtensions().empty()) made.push_back(reader.get());
    }
    return made;
  }();
  return readers;
}

std::string noKnownKindReason() {
  std::vector<std::string_view> kinds;
  for (const auto& reader : fileReaders()) {
    if (std::find(kinds.begin(), kinds.end(), reader->name()) == kinds.end()) kinds.push_back(reader->name());
  }
  std::string reason;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    if (i > 0) reason += i + 1 == kinds.size() ? " и " : ", ";
    reason += "не ";
    reason += kinds[i];
  }
  return reason;
}

}  // namespace trevanto::import

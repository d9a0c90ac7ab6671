// SPDX-License-Identifier: MIT
// Internet shortcuts (.url): an [InternetShortcut] section whose URL the engine's reader reads.
#include "base/text.h"
#include "formats.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"

namespace trevanto::import {

LinkFile readInternetShortcut(std::string_view bytes) {
  LinkFile link;
  const std::string text = site::decodeShortcutText(bytes);
  for (std::string_view line : base::splitLines(text)) {
    line = base::trimBlanks(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      const std::string_view name = base::trimBlanks(line.substr(1, line.size() - 2));
      link.known = base::equalsIgnoringAsciiCase(name, "InternetShortcut") ||
                   base::equalsIgnoringAsciiCase(name, "InternetShortcut.W");
    }
    if (link.known) break;
  }
  if (link.known) link.address = site::readShortcutAddress(bytes);
  return link;
}

std::unique_ptr<Reader> makeInternetShortcutReader() {
  return makeLinkFileReader("ярлык", "url", readInternetShortcut, nullptr);
}

}  // namespace trevanto::import

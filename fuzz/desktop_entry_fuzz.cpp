// SPDX-License-Identifier: MIT
// Fuzzes the freedesktop link reader, and the recognition of link files among any bytes: a
// link's address is UTF-8 and becomes a safe shortcut; its file name a safe title.
#include <cstdint>
#include <string_view>

#include "import/formats.h"
#include "import_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const trevanto::import::LinkFile desktop = trevanto::import::readDesktopEntry(bytes);
  trevanto::fuzz::check(desktop.known || desktop.address.empty(), "only a link file has an address");
  trevanto::fuzz::check(trevanto::base::isValidUtf8(desktop.address), "a link's address is UTF-8", desktop.address);
  trevanto::fuzz::checkShortcut(desktop.address);
  const trevanto::import::LinkFile any = trevanto::import::readLinkFile(bytes);
  trevanto::fuzz::checkShortcut(any.address);
  trevanto::fuzz::checkSafeName(trevanto::import::linkFileTitle(bytes.substr(0, bytes.find('\0'))));
  return 0;
}

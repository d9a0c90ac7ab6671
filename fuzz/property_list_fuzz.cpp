// SPDX-License-Identifier: MIT
// Fuzzes the .webloc reader with XML and binary property lists: a link's address is UTF-8 and
// becomes a safe shortcut.
#include <cstdint>
#include <string_view>

#include "import/formats.h"
#include "import_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const trevanto::import::LinkFile link = trevanto::import::readPropertyList(bytes);
  trevanto::fuzz::check(link.known || link.address.empty(), "only a link file has an address");
  trevanto::fuzz::check(trevanto::base::isValidUtf8(link.address), "a .webloc address is UTF-8", link.address);
  trevanto::fuzz::checkShortcut(link.address);
  return 0;
}

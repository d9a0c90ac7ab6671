// SPDX-License-Identifier: MIT
// Fuzzes the XBEL reader: any bytes give balanced folders and safe names and shortcuts, a
// FormatError (not XBEL) or an UnreadableError (XBEL broken past reading).
#include <cstdint>
#include <string_view>

#include "import/formats.h"
#include "import_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  trevanto::fuzz::CheckingSink sink;
  try {
    trevanto::import::readXbelBookmarks(std::string_view(reinterpret_cast<const char*>(data), size), sink);
  } catch (const trevanto::import::FormatError&) {
    return 0;
  } catch (const trevanto::import::UnreadableError&) {
    return 0;
  }
  sink.finish();
  return 0;
}

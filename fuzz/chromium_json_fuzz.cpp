// SPDX-License-Identifier: MIT
// Fuzzes the reader of Chromium's Bookmarks file: any bytes give balanced folders and safe
// names and shortcuts, or a FormatError.
#include <cstdint>
#include <string_view>

#include "import/formats.h"
#include "import_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  trevanto::fuzz::CheckingSink sink;
  try {
    trevanto::import::readChromiumBookmarks(std::string_view(reinterpret_cast<const char*>(data), size), sink);
  } catch (const trevanto::import::FormatError&) {
    return 0;
  }
  sink.finish();
  return 0;
}

// SPDX-License-Identifier: MIT
// Fuzzes the Netscape bookmark file reader: any bytes, in any charset, give balanced folders,
// UTF-8 titles and names and shortcuts that are safe, or a FormatError.
#include <cstdint>
#include <string_view>

#include "import/formats.h"
#include "import_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  trevanto::fuzz::CheckingSink sink;
  try {
    trevanto::import::readNetscapeBookmarks(std::string(reinterpret_cast<const char*>(data), size), sink);
  } catch (const trevanto::import::FormatError&) {
    return 0;
  }
  sink.finish();
  return 0;
}

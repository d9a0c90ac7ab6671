// SPDX-License-Identifier: MIT
// Fuzzes the reader of the link check's history: any bytes give a history or a FileError that
// names the file, never another way out; and a history read, written and read again is the
// same history.
#include <cstdint>
#include <sstream>
#include <string>

#include "base/file_error.h"
#include "check/link_health.h"
#include "fuzz_support.h"

namespace {

constexpr const char* kName = "/site/export/link-health.json";

trevanto::check::LinkHistory readText(const std::string& text) {
  std::istringstream in(text);
  return trevanto::check::readHistory(in, kName);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace trevanto;
  check::LinkHistory history;
  try {
    history = readText(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const base::FileError& problem) {
    fuzz::check(std::string(problem.what()).find(kName) != std::string::npos, "the error does not name the file",
                problem.what());
    return 0;
  }
  const std::string written = check::historyJson(history);
  std::string again;
  try {
    again = check::historyJson(readText(written));
  } catch (const base::FileError& problem) {
    fuzz::fail("a history as written is not read back", problem.what());
  }
  fuzz::check(again == written, "a history read back is not the same", written);
  return 0;
}

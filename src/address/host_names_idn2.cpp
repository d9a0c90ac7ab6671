// SPDX-License-Identifier: MIT
#include <idn2.h>

#include <cstdint>

#include "host_names.h"

namespace trevanto::address {

std::optional<std::string> idnaAscii(const std::string& host) {
  for (int flags : {IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL, IDN2_NFC_INPUT | IDN2_TRANSITIONAL}) {
    char* ascii = nullptr;
    if (idn2_lookup_u8(reinterpret_cast<const std::uint8_t*>(host.c_str()), reinterpret_cast<std::uint8_t**>(&ascii),
                       flags) == IDN2_OK) {
      std::string made(ascii);
      idn2_free(ascii);
      return made;
    }
    idn2_free(ascii);
  }
  return std::nullopt;
}

std::optional<std::string> idnaUnicode(const std::string& host) {
  char* unicode = nullptr;
  const int status = idn2_to_unicode_8z8z(host.c_str(), &unicode, 0);
  std::optional<std::string> made;
  if (status == IDN2_OK && unicode != nullptr) made = std::string(unicode);
  idn2_free(unicode);
  return made;
}

}  // namespace trevanto::address

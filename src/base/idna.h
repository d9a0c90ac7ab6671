// SPDX-License-Identifier: MIT
// The system's own IDNA, where the system has one (Windows: IdnToAscii and IdnToUnicode; the
// Linux build takes libidn2 in src/address instead and has no implementation of these).
#pragma once

#include <optional>
#include <string>

namespace trevanto::base {

// The ASCII (punycode) form of a UTF-8 host name; nothing when IDNA refuses it.
std::optional<std::string> systemIdnaAscii(const std::string& host);
// The Unicode form of a host name with punycode labels; nothing when a label does not decode.
std::optional<std::string> systemIdnaUnicode(const std::string& host);

}  // namespace trevanto::base

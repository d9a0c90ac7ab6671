// SPDX-License-Identifier: MIT
// Host names between their Unicode and ASCII (punycode) forms through IDNA: libidn2 on Linux
// (host_names_idn2.cpp), the system's own IDNA on Windows (host_names_windows.cpp).
#pragma once

#include <optional>
#include <string>

namespace trevanto::address {

// The ASCII form of a UTF-8 host name, by the rules browsers use (the transitional ones where
// the others refuse it); nothing when IDNA refuses the name.
std::optional<std::string> idnaAscii(const std::string& host);
// The Unicode form of a host name with punycode labels; nothing when a label does not decode
// or decodes to what IDNA does not allow.
std::optional<std::string> idnaUnicode(const std::string& host);

}  // namespace trevanto::address

// SPDX-License-Identifier: MIT
// The floor's part of the network: the numbers of an IP address, as text or as the system's
// socket address gives them, and a socket opened for a transfer library to connect.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace trevanto::base {

struct IpAddress {
  bool isV6 = false;
  std::array<std::uint8_t, 16> bytes{};  // an IPv4 address in the first four
};

// An address written as an IPv4 dotted quad or in IPv6 notation (without a zone); nothing for
// anything else.
std::optional<IpAddress> parseIpAddress(std::string_view text);

// The address of a socket address the system gave (a struct sockaddr of family IPv4 or IPv6);
// nothing for another family or none.
std::optional<IpAddress> ipAddressOf(const void* socketAddress);

// Whether the system's error number of a failed connect (as a transfer library gives it) says that
// there is no way to the host or its network, rather than that the host refused.
bool meansUnreachable(long socketError);

// A new socket of the family, type and protocol the system numbers them by, not passed on to
// programs started meanwhile: its handle, or -1.
std::intptr_t openSocket(int family, int type, int protocol);

}  // namespace trevanto::base

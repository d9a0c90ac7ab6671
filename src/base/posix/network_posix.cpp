// SPDX-License-Identifier: MIT
// IP addresses and sockets on a POSIX system.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/network.h"

namespace trevanto::base {

std::optional<IpAddress> parseIpAddress(std::string_view text) {
  const std::string copy(text);
  IpAddress address;
  if (::inet_pton(AF_INET, copy.c_str(), address.bytes.data()) == 1) return address;
  address.isV6 = true;
  if (::inet_pton(AF_INET6, copy.c_str(), address.bytes.data()) == 1) return address;
  return std::nullopt;
}

std::optional<IpAddress> ipAddressOf(const void* socketAddress) {
  if (socketAddress == nullptr) return std::nullopt;
  sa_family_t family = 0;
  std::memcpy(&family, static_cast<const char*>(socketAddress) + offsetof(sockaddr, sa_family), sizeof family);
  IpAddress address;
  if (family == AF_INET) {
    sockaddr_in v4{};
    std::memcpy(&v4, socketAddress, sizeof v4);
    std::memcpy(address.bytes.data(), &v4.sin_addr, 4);
    return address;
  }
  if (family == AF_INET6) {
    sockaddr_in6 v6{};
    std::memcpy(&v6, socketAddress, sizeof v6);
    address.isV6 = true;
    std::memcpy(address.bytes.data(), v6.sin6_addr.s6_addr, 16);
    return address;
  }
  return std::nullopt;
}

bool meansUnreachable(long socketError) {
  return socketError == ENETUNREACH || socketError == EHOSTUNREACH || socketError == ENETDOWN ||
         socketError == EHOSTDOWN;
}

std::intptr_t openSocket(int family, int type, int protocol) { return ::socket(family, type | SOCK_CLOEXEC, protocol); }

}  // namespace trevanto::base

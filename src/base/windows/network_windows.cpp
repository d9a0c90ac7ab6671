// SPDX-License-Identifier: MIT
// IP addresses and sockets on Windows (Winsock).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <mutex>
#include <string>

#include "base/network.h"

namespace trevanto::base {
namespace {

// Winsock serves a process only after WSAStartup; a transfer library starts it too, and the
// counts add up.
void startWinsock() {
  static std::once_flag started;
  std::call_once(started, [] {
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
  });
}

}  // namespace

std::optional<IpAddress> parseIpAddress(std::string_view text) {
  startWinsock();
  const std::string copy(text);
  IpAddress address;
  if (::inet_pton(AF_INET, copy.c_str(), address.bytes.data()) == 1) return address;
  address.isV6 = true;
  if (::inet_pton(AF_INET6, copy.c_str(), address.bytes.data()) == 1) return address;
  return std::nullopt;
}

std::optional<IpAddress> ipAddressOf(const void* socketAddress) {
  if (socketAddress == nullptr) return std::nullopt;
  ADDRESS_FAMILY family = 0;
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
  return socketError == WSAENETUNREACH || socketError == WSAEHOSTUNREACH || socketError == WSAENETDOWN ||
         socketError == WSAEHOSTDOWN;
}

std::intptr_t openSocket(int family, int type, int protocol) {
  startWinsock();
  const SOCKET made =
      ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  return made == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(made);
}

}  // namespace trevanto::base

// SPDX-License-Identifier: MIT
#include "address_kind.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "base/network.h"

namespace trevanto::check {
namespace {

AddressKind kindOfV4(const std::uint8_t* a) {
  if (a[0] == 0) return AddressKind::Unspecified;
  if (a[0] == 127) return AddressKind::Loopback;
  if (a[0] == 10 || (a[0] == 172 && (a[1] & 0xF0) == 16) || (a[0] == 192 && a[1] == 168) ||
      (a[0] == 100 && (a[1] & 0xC0) == 64)) {
    return AddressKind::Private;
  }
  if (a[0] == 169 && a[1] == 254) return AddressKind::LinkLocal;
  if ((a[0] & 0xF0) == 224) return AddressKind::Multicast;
  if ((a[0] & 0xF0) == 240) return AddressKind::Reserved;
  return AddressKind::Public;
}

AddressKind kindOfV6(const std::uint8_t* a) {
  static constexpr std::array<std::uint8_t, 12> kMapped = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  static constexpr std::array<std::uint8_t, 12> kTranslated = {0, 0x64, 0xFF, 0x9B, 0, 0, 0, 0, 0, 0, 0, 0};
  if (std::memcmp(a, kMapped.data(), kMapped.size()) == 0 || std::memcmp(a, kTranslated.data(), kTranslated.size()) == 0) {
    return kindOfV4(a + 12);
  }
  bool zeroHead = true;
  for (int i = 0; i < 15; ++i) zeroHead = zeroHead && a[i] == 0;
  if (zeroHead && a[15] == 0) return AddressKind::Unspecified;
  if (zeroHead && a[15] == 1) return AddressKind::Loopback;
  if (a[0] == 0xFF) return AddressKind::Multicast;
  if (a[0] == 0xFE && (a[1] & 0xC0) == 0x80) return AddressKind::LinkLocal;
  if ((a[0] & 0xFE) == 0xFC || (a[0] == 0xFE && (a[1] & 0xC0) == 0xC0)) return AddressKind::Private;
  return AddressKind::Public;
}

AddressKind kindOfIp(const std::optional<base::IpAddress>& address) {
  if (!address) return AddressKind::Reserved;
  return address->isV6 ? kindOfV6(address->bytes.data()) : kindOfV4(address->bytes.data());
}

}  // namespace

AddressKind kindOfAddress(const sockaddr* address) { return kindOfIp(base::ipAddressOf(address)); }

AddressKind kindOfAddress(std::string_view text) {
  return kindOfIp(base::parseIpAddress(text.substr(0, text.find('%'))));  // without a zone ("fe80::1%eth0")
}

bool mayRedirect(AddressKind from, AddressKind to) {
  switch (to) {
    case AddressKind::Public:
      return true;
    case AddressKind::Private:
      return from == AddressKind::Private || from == AddressKind::Loopback;
    case AddressKind::Loopback:
      return from == AddressKind::Loopback;
    case AddressKind::LinkLocal:
      return from == AddressKind::LinkLocal;
    case AddressKind::Unspecified:
    case AddressKind::Multicast:
    case AddressKind::Reserved:
      return false;
  }
  return false;
}

}  // namespace trevanto::check

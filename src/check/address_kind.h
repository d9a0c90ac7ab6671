// SPDX-License-Identifier: MIT
// Which part of the network an IP address lies in, and where a redirect may lead from a link's
// own address: a page on the Internet must not steer the check into the user's own network.
#pragma once

#include <string_view>

struct sockaddr;

namespace trevanto::check {

enum class AddressKind {
  Public,
  Private,      // 10/8, 172.16/12, 192.168/16, 100.64/10 (shared), fc00::/7, fec0::/10
  Loopback,     // 127/8, ::1
  LinkLocal,    // 169.254/16, fe80::/10
  Unspecified,  // 0/8, ::
  Multicast,    // 224/4, ff00::/8
  Reserved,     // 240/4 (broadcast included) and what is not an address
};

// An IPv6 address that carries an IPv4 one (::ffff:a.b.c.d, 64:ff9b::a.b.c.d) is judged as that.
AddressKind kindOfAddress(const sockaddr* address);
// The same from the text form ("10.0.0.1", "fd00::1"); Reserved when it is no address.
AddressKind kindOfAddress(std::string_view text);

// Whether a redirect from a link whose own address is of kind `from` may connect to an address
// of kind `to`. Public links lead only to public addresses; a private one also within private
// space; a loopback one (the user's own machine) anywhere but link-local; a link-local one also
// within link-local. Nothing leads into unspecified, multicast or reserved space.
bool mayRedirect(AddressKind from, AddressKind to);

}  // namespace trevanto::check

// SPDX-License-Identifier: MIT
// The few socket calls the test servers make, alike on every system: a listener on 127.0.0.1,
// accepting, waiting for bytes, reading, sending, closing.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trevanto::test::sockets {

// A socket of the system (a descriptor, or a Winsock SOCKET); kNone for none.
using Socket = std::intptr_t;
inline constexpr Socket kNone = -1;

// A numeric IPv4 or IPv6 address with port 0, in the form the system's socket calls take.
struct SocketAddress {
  alignas(std::max_align_t) std::array<std::byte, 128> bytes{};
  bool v6 = false;
  const void* data() const { return bytes.data(); }
};
std::optional<SocketAddress> numericAddress(const std::string& text);

// A socket listening on 127.0.0.1 at a port the system picks (port is set); throws when it cannot.
Socket listenOnLoopback(std::uint16_t& port);
// A port on 127.0.0.1 where nothing listens now: connections to it are refused.
std::uint16_t freeLoopbackPort();

enum class Wait { ready, timedOut, failed };
// Until the socket has bytes or a connection to accept, or the time is up.
Wait waitToRead(Socket socket, std::chrono::milliseconds limit);
// A connection the listener has waiting; kNone when there is none.
Socket acceptConnection(Socket listener);
// Bytes received into buffer; 0 when the peer closed, below 0 on failure.
long receiveSome(Socket socket, char* buffer, std::size_t size);
// All of bytes, unless the connection fails first (false then).
bool sendAll(Socket socket, std::string_view bytes);
void closeSocket(Socket socket);

}  // namespace trevanto::test::sockets

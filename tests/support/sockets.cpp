// SPDX-License-Identifier: MIT
#include "support/sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>
#include <stdexcept>

namespace trevanto::test::sockets {
namespace {

#ifdef _WIN32
using Native = SOCKET;
using Length = int;
using Size = int;
using Poll = WSAPOLLFD;
constexpr int kSendFlags = 0;

// Winsock is started once, before the first call; the program's end cleans it up.
void start() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("Winsock did not start");
}
Native openStream() { return ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT); }
Native acceptOn(Native listener) { return ::accept(listener, nullptr, nullptr); }
int pollOn(Poll* fds, unsigned long count, int milliseconds) { return ::WSAPoll(fds, count, milliseconds); }
bool valid(Native socket) { return socket != INVALID_SOCKET; }
void closeNative(Native socket) { ::closesocket(socket); }
#else
using Native = int;
using Length = socklen_t;
using Size = std::size_t;
using Poll = pollfd;
constexpr int kSendFlags = MSG_NOSIGNAL;

void start() {}
Native openStream() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
Native acceptOn(Native listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }
int pollOn(Poll* fds, nfds_t count, int milliseconds) { return ::poll(fds, count, milliseconds); }
bool valid(Native socket) { return socket >= 0; }
void closeNative(Native socket) { ::close(socket); }
#endif

Native native(Socket socket) { return static_cast<Native>(socket); }

// A stream socket bound to 127.0.0.1 at a port the system picks; kNone when that fails.
Socket boundOnLoopback(std::uint16_t& port) {
  start();
  const Native bound = openStream();
  if (!valid(bound)) return kNone;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Length length = sizeof address;
  if (::bind(bound, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(bound, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closeNative(bound);
    return kNone;
  }
  port = ntohs(address.sin_port);
  return static_cast<Socket>(bound);
}

}  // namespace

std::optional<SocketAddress> numericAddress(const std::string& text) {
  start();
  SocketAddress address;
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  if (::inet_pton(AF_INET, text.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    std::memcpy(address.bytes.data(), &v4, sizeof v4);
  } else if (::inet_pton(AF_INET6, text.c_str(), &v6.sin6_addr) == 1) {
    v6.sin6_family = AF_INET6;
    std::memcpy(address.bytes.data(), &v6, sizeof v6);
    address.v6 = true;
  } else {
    return std::nullopt;
  }
  return address;
}

Socket listenOnLoopback(std::uint16_t& port) {
  const Socket listener = boundOnLoopback(port);
  if (listener == kNone || ::listen(native(listener), 64) != 0) {
    if (listener != kNone) closeSocket(listener);
    throw std::runtime_error("the test server cannot listen on 127.0.0.1");
  }
  return listener;
}

std::uint16_t freeLoopbackPort() {
  std::uint16_t port = 0;
  const Socket bound = boundOnLoopback(port);
  if (bound == kNone) throw std::runtime_error("no free port on 127.0.0.1");
  closeSocket(bound);
  return port;
}

Wait waitToRead(Socket socket, std::chrono::milliseconds limit) {
  Poll entry{};
  entry.fd = native(socket);
  entry.events = POLLIN;
  const int ready = pollOn(&entry, 1, static_cast<int>(limit.count()));
  if (ready < 0) return Wait::failed;
  return ready == 0 ? Wait::timedOut : Wait::ready;
}

Socket acceptConnection(Socket listener) {
  const Native connection = acceptOn(native(listener));
  return valid(connection) ? static_cast<Socket>(connection) : kNone;
}

long receiveSome(Socket socket, char* buffer, std::size_t size) {
  return static_cast<long>(::recv(native(socket), buffer, static_cast<Size>(size), 0));
}

bool sendAll(Socket socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto sent = ::send(native(socket), bytes.data(), static_cast<Size>(bytes.size()), kSendFlags);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

void closeSocket(Socket socket) {
  if (socket != kNone) closeNative(native(socket));
}

}  // namespace trevanto::test::sockets

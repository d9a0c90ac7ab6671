// SPDX-License-Identifier: MIT
#include "support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace trevanto::test {

RawServer::RawServer(std::function<std::string(std::string_view, std::string_view)> answer)
    : answer_(std::move(answer)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 64) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe(stopPipe_) != 0) {
    throw std::runtime_error("the raw test server did not start");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

RawServer::~RawServer() {
  (void)!::write(stopPipe_[1], "x", 1);
  acceptor_.join();
  for (std::thread& thread : threads_) thread.join();
  ::close(listener_);
  ::close(stopPipe_[0]);
  ::close(stopPipe_[1]);
}

std::string RawServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

int RawServer::requests(std::string_view methodAndPath) const {
  const std::lock_guard lock(mutex_);
  return static_cast<int>(std::count(seen_.begin(), seen_.end(), methodAndPath));
}

void RawServer::acceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) return;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    ++connections_;
    threads_.emplace_back([this, connection] { serve(connection); });
  }
}

void RawServer::serve(int connection) {
  std::string received;
  for (;;) {
    pollfd fds[2] = {{connection, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) break;
    char buffer[4096];
    const ssize_t got = ::read(connection, buffer, sizeof buffer);
    if (got <= 0) break;
    received.append(buffer, static_cast<std::size_t>(got));
    std::size_t end;
    while ((end = received.find("\r\n\r\n")) != std::string::npos) {
      const std::string request = received.substr(0, end);
      received.erase(0, end + 4);
      const std::size_t blank = request.find(' ');
      const std::string method = request.substr(0, blank);
      const std::string path = request.substr(blank + 1, request.find(' ', blank + 1) - blank - 1);
      {
        const std::lock_guard lock(mutex_);
        seen_.push_back(method + " " + path);
      }
      const std::string reply = answer_(method, path);
      std::size_t from = 0;
      for (;;) {
        const std::size_t pause = reply.find(kPause, from);
        const std::string_view part = std::string_view(reply).substr(from, pause - from);
        for (std::size_t sent = 0; sent < part.size();) {
          const ssize_t put = ::send(connection, part.data() + sent, part.size() - sent, MSG_NOSIGNAL);
          if (put <= 0) break;
          sent += static_cast<std::size_t>(put);
        }
        if (pause == std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        from = pause + 1;
      }
    }
  }
  ::close(connection);
}

}  // namespace trevanto::test

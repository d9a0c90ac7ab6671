// SPDX-License-Identifier: MIT
#include "support/raw_server.h"

#include <algorithm>

namespace trevanto::test {
namespace {

// How long a wait for bytes lasts before the server looks whether it is stopping.
constexpr std::chrono::milliseconds kStopLook{20};

}  // namespace

RawServer::RawServer(std::function<std::string(std::string_view, std::string_view)> answer)
    : answer_(std::move(answer)) {
  listener_ = sockets::listenOnLoopback(port_);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& thread : threads_) thread.join();
  sockets::closeSocket(listener_);
}

std::string RawServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

int RawServer::requests(std::string_view methodAndPath) const {
  const std::lock_guard lock(mutex_);
  return static_cast<int>(std::count(seen_.begin(), seen_.end(), methodAndPath));
}

void RawServer::acceptLoop() {
  while (!stopping_) {
    const sockets::Wait waited = sockets::waitToRead(listener_, kStopLook);
    if (waited == sockets::Wait::failed) return;
    if (waited == sockets::Wait::timedOut) continue;
    const sockets::Socket connection = sockets::acceptConnection(listener_);
    if (connection == sockets::kNone) continue;
    ++connections_;
    threads_.emplace_back([this, connection] { serve(connection); });
  }
}

void RawServer::serve(sockets::Socket connection) {
  std::string received;
  while (!stopping_) {
    const sockets::Wait waited = sockets::waitToRead(connection, kStopLook);
    if (waited == sockets::Wait::failed) break;
    if (waited == sockets::Wait::timedOut) continue;
    char buffer[4096];
    const long got = sockets::receiveSome(connection, buffer, sizeof buffer);
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
        if (!sockets::sendAll(connection, std::string_view(reply).substr(from, pause - from))) break;
        if (pause == std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        from = pause + 1;
      }
    }
  }
  sockets::closeSocket(connection);
}

}  // namespace trevanto::test

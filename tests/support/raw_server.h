// SPDX-License-Identifier: MIT
// A web server on 127.0.0.1 that answers each request with the bytes its test gives, however
// broken: a status line no server should send, a body after a HEAD answer, a header line without
// end. It keeps each connection open for the next request, as servers do, and counts them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/sockets.h"

namespace trevanto::test {

class RawServer {
 public:
  // In an answer: the rest follows 100 ms later.
  static constexpr char kPause = '\x01';
  // answer(method, path) gives the bytes sent back for one request.
  explicit RawServer(std::function<std::string(std::string_view method, std::string_view path)> answer);
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;
  ~RawServer();

  std::uint16_t port() const { return port_; }
  std::string url(std::string_view path) const;
  int connections() const { return connections_; }
  // How often "METHOD PATH" was asked.
  int requests(std::string_view methodAndPath) const;

 private:
  void acceptLoop();
  void serve(sockets::Socket connection);

  std::function<std::string(std::string_view, std::string_view)> answer_;
  sockets::Socket listener_ = sockets::kNone;
  std::atomic<bool> stopping_{false};
  std::uint16_t port_ = 0;
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> seen_;
  std::vector<std::thread> threads_;
  std::thread acceptor_;
};

}  // namespace trevanto::test

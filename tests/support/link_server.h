// SPDX-License-Identifier: MIT
// A web server on 127.0.0.1 for the link check's tests and bench, answering by path:
//   /ok                 200
//   /status/NNN         NNN (404, 410, 500, 401 ...), unless setStatus() changed it
//   /chain/N            301 to /chain/N-1 ... /chain/0 answers 200
//   /temporary          302 to /landing
//   /loop               302 to itself
//   /to-file            301 to file:///etc/passwd
//   /no-head            HEAD 405, GET 200
//   /endless            HEAD 405, GET 200 with a body that never ends
//   /slow               200 after slowDelay
//   /busy/N/...         429 with Retry-After: 1 the first N times, then 200
//   /unavailable        503 with Retry-After: 1, always
//   /reset              the connection closed without an answer
//   /redirect?to=URL    301 to URL
//   anything else       200
// Every answer comes after the server's delay. It counts the connections, and the requests per
// method and path. It listens on 127.0.0.1 or on the address given (IPv4 or IPv6).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

struct MHD_Daemon;

namespace trevanto::test {

class LinkServer {
 public:
  explicit LinkServer(std::chrono::milliseconds delay = std::chrono::milliseconds(0),
                      std::chrono::milliseconds slowDelay = std::chrono::milliseconds(2000),
                      const std::string& address = "127.0.0.1");
  LinkServer(const LinkServer&) = delete;
  LinkServer& operator=(const LinkServer&) = delete;
  ~LinkServer();

  std::uint16_t port() const { return port_; }
  // "http://HOST:PORT/PATH"; path begins with '/'.
  std::string url(std::string_view path, std::string_view host = "127.0.0.1") const;

  // How often "METHOD PATH" was asked ("" counts every method).
  int requests(std::string_view path, std::string_view method = "") const;
  int totalRequests() const;
  // How many connections were accepted.
  int connections() const;
  void countConnection();
  // The User-Agent, Cookie and Authorization headers seen, joined by '\n', one line a request.
  std::string seenHeaders() const;
  // The most requests at once with this Host header ("127.0.0.1:PORT", "name.test:PORT").
  int mostAtOnce(std::string_view host) const;
  // From now on path answers with status.
  void setStatus(std::string_view path, int status);

  // Called by the server library for each request.
  int answer(void* connection, std::string_view path, std::string_view method);

 private:
  int reply(void* connection, std::string_view path, std::string_view method, int status);

  MHD_Daemon* daemon_ = nullptr;
  std::uint16_t port_ = 0;
  std::chrono::milliseconds delay_;
  std::chrono::milliseconds slowDelay_;
  mutable std::mutex mutex_;
  std::map<std::string, int, std::less<>> counts_;
  std::map<std::string, int, std::less<>> statuses_;
  std::map<std::string, int, std::less<>> current_;
  std::map<std::string, int, std::less<>> mostAtOnce_;
  std::string seenHeaders_;
  int total_ = 0;
  int connections_ = 0;
};

// A port on 127.0.0.1 where nothing listens: connections to it are refused.
std::uint16_t refusedPort();

}  // namespace trevanto::test

// SPDX-License-Identifier: MIT
#include "support/link_server.h"

#include <microhttpd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

#include "support/sockets.h"

namespace trevanto::test {
namespace {

MHD_Result onRequest(void* server, MHD_Connection* connection, const char* url, const char* method, const char*,
                     const char*, std::size_t*, void** state) {
  // The first call for a request only announces it; the answer goes with the second.
  if (*state == nullptr) {
    *state = server;
    return MHD_YES;
  }
  return static_cast<LinkServer*>(server)->answer(connection, url, method) != 0 ? MHD_YES : MHD_NO;
}

ssize_t endlessBody(void*, std::uint64_t, char* buffer, std::size_t max) {
  std::memset(buffer, 'x', max);
  return static_cast<ssize_t>(max);
}

void onConnection(void* server, MHD_Connection*, void**, MHD_ConnectionNotificationCode code) {
  if (code == MHD_CONNECTION_NOTIFY_STARTED) static_cast<LinkServer*>(server)->countConnection();
}

int send(MHD_Connection* connection, unsigned status, const char* location = nullptr, const char* retryAfter = nullptr) {
  static constexpr char kBody[] = "answer\n";
  MHD_Response* response = MHD_create_response_from_buffer(sizeof kBody - 1, const_cast<char*>(kBody), MHD_RESPMEM_PERSISTENT);
  if (location != nullptr) MHD_add_response_header(response, "Location", location);
  if (retryAfter != nullptr) MHD_add_response_header(response, "Retry-After", retryAfter);
  const MHD_Result queued = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return queued == MHD_YES ? 1 : 0;
}

}  // namespace

LinkServer::LinkServer(std::chrono::milliseconds delay, std::chrono::milliseconds slowDelay, const std::string& address)
    : delay_(delay), slowDelay_(slowDelay) {
  const std::optional<sockets::SocketAddress> bound = sockets::numericAddress(address);
  if (!bound) throw std::runtime_error("the test web server cannot listen on " + address);
  unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL;
  if (bound->v6) flags |= MHD_USE_IPv6;
  daemon_ = MHD_start_daemon(flags, 0, nullptr, nullptr, &onRequest, this, MHD_OPTION_SOCK_ADDR, bound->data(),
                             MHD_OPTION_CONNECTION_LIMIT, 2000u, MHD_OPTION_CONNECTION_TIMEOUT, 120u,
                             MHD_OPTION_NOTIFY_CONNECTION, &onConnection, this, MHD_OPTION_END);
  if (daemon_ == nullptr) throw std::runtime_error("the test web server did not start on " + address);
  port_ = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT)->port;
}

LinkServer::~LinkServer() { MHD_stop_daemon(daemon_); }

std::string LinkServer::url(std::string_view path, std::string_view host) const {
  return "http://" + std::string(host) + ":" + std::to_string(port_) + std::string(path);
}

int LinkServer::requests(std::string_view path, std::string_view method) const {
  const std::lock_guard lock(mutex_);
  if (!method.empty()) {
    const auto found = counts_.find(std::string(method) + " " + std::string(path));
    return found == counts_.end() ? 0 : found->second;
  }
  int sum = 0;
  for (const auto& [key, count] : counts_) {
    if (std::string_view(key).substr(key.find(' ') + 1) == path) sum += count;
  }
  return sum;
}

int LinkServer::totalRequests() const {
  const std::lock_guard lock(mutex_);
  return total_;
}

int LinkServer::connections() const {
  const std::lock_guard lock(mutex_);
  return connections_;
}

void LinkServer::countConnection() {
  const std::lock_guard lock(mutex_);
  ++connections_;
}

std::string LinkServer::seenHeaders() const {
  const std::lock_guard lock(mutex_);
  return seenHeaders_;
}

void LinkServer::setStatus(std::string_view path, int status) {
  const std::lock_guard lock(mutex_);
  statuses_[std::string(path)] = status;
}

int LinkServer::answer(void* handle, std::string_view path, std::string_view method) {
  auto* connection = static_cast<MHD_Connection*>(handle);
  int status = 0;
  const char* hostHeader = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
  const std::string host = hostHeader != nullptr ? hostHeader : "";
  {
    const std::lock_guard lock(mutex_);
    ++counts_[std::string(method) + " " + std::string(path)];
    const int now = ++current_[host];
    if (now > mostAtOnce_[host]) mostAtOnce_[host] = now;
    ++total_;
    for (const char* name : {MHD_HTTP_HEADER_USER_AGENT, MHD_HTTP_HEADER_COOKIE, MHD_HTTP_HEADER_AUTHORIZATION}) {
      const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
      if (value != nullptr) seenHeaders_ += std::string(name) + ": " + value + "\n";
    }
    if (const auto found = statuses_.find(path); found != statuses_.end()) status = found->second;
  }
  if (delay_.count() > 0) std::this_thread::sleep_for(delay_);
  const int answered = reply(connection, path, method, status);
  const std::lock_guard lock(mutex_);
  --current_[host];
  return answered;
}

int LinkServer::mostAtOnce(std::string_view host) const {
  const std::lock_guard lock(mutex_);
  const auto found = mostAtOnce_.find(host);
  return found == mostAtOnce_.end() ? 0 : found->second;
}

int LinkServer::reply(void* handle, std::string_view path, std::string_view method, int status) {
  auto* connection = static_cast<MHD_Connection*>(handle);
  const bool head = method == "HEAD";
  if (status != 0) return send(connection, static_cast<unsigned>(status));
  if (path.starts_with("/status/")) return send(connection, static_cast<unsigned>(std::stoi(std::string(path.substr(8)))));
  if (path.starts_with("/chain/")) {
    const int step = std::stoi(std::string(path.substr(7)));
    if (step <= 0) return send(connection, 200);
    return send(connection, 301, ("/chain/" + std::to_string(step - 1)).c_str());
  }
  if (path == "/temporary") return send(connection, 302, "/landing");
  if (path == "/loop") return send(connection, 302, "/loop");
  if (path == "/to-file") return send(connection, 301, "file:///etc/passwd");
  if (path == "/no-head") return send(connection, head ? 405 : 200);
  if (path == "/endless") {
    if (head) return send(connection, 405);
    MHD_Response* response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 16 * 1024, &endlessBody, nullptr, nullptr);
    const MHD_Result queued = MHD_queue_response(connection, 200, response);
    MHD_destroy_response(response);
    return queued == MHD_YES ? 1 : 0;
  }
  if (path == "/slow") {
    std::this_thread::sleep_for(slowDelay_);
    return send(connection, 200);
  }
  if (path.starts_with("/busy/")) {
    const int times = std::stoi(std::string(path.substr(6)));
    int all = 0;
    {
      const std::lock_guard lock(mutex_);
      for (const auto& [key, count] : counts_) {
        if (std::string_view(key).substr(key.find(' ') + 1) == path) all += count;
      }
    }
    return all <= times ? send(connection, 429, nullptr, "1") : send(connection, 200);
  }
  if (path == "/unavailable") return send(connection, 503, nullptr, "1");
  if (path == "/reset") return 0;
  if (path == "/redirect") {
    const char* to = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "to");
    return send(connection, 301, to != nullptr ? to : "/");
  }
  return send(connection, 200);
}

std::uint16_t refusedPort() { return sockets::freeLoopbackPort(); }

}  // namespace trevanto::test

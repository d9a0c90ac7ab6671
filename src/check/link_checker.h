// SPDX-License-Identifier: MIT
// Asks web servers whether addresses still answer, politely: a bounded number of requests at a
// time and per host, HEAD first and GET (headers only) where HEAD is refused, redirects followed
// to web addresses only and never further into the user's network than the link's own address
// (judged on the address connected to: see address_kind.h), a few retries with a growing pause where a server is busy or the
// connection failed. No cookies are kept and no credentials are sent.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "link_health.h"

namespace trevanto::check {

struct CheckSettings {
  std::size_t maxInFlight = 32;
  std::size_t perHost = 2;
  long maxRedirects = 10;
  std::chrono::milliseconds connectTimeout{10'000};
  std::chrono::milliseconds requestTimeout{30'000};
  // Retries after a busy answer (429, 503), a timeout or a reset; the pause doubles each time,
  // and a server's Retry-After is honoured up to maxRetryAfter.
  int retries = 2;
  std::chrono::milliseconds retryPause{5'000};
  std::chrono::milliseconds maxRetryAfter{60'000};
  // Host names answered from this table instead of the name service: "HOST:PORT:ADDRESS".
  std::vector<std::string> resolve;
};

// Asks every address and calls onDone(index, outcome) with what it found. shouldStop is called
// between events, at least ten times a second; once it returns true the requests under way are
// dropped and their addresses get no call. Returns true when every address got its call.
bool checkAddresses(const std::vector<std::string>& addresses, const CheckSettings& settings,
                    const std::function<void(std::size_t, const Outcome&)>& onDone,
                    const std::function<bool()>& shouldStop);

// The User-Agent of every request: the program's name and version.
std::string userAgent();

}  // namespace trevanto::check

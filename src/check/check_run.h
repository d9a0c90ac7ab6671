// SPDX-License-Identifier: MIT
// One check of a site's links: reads its pages and the history in export/, asks every web address
// the current check has not asked yet, keeps the history up to date on disk as it goes, and
// writes the page and the script that show the result. Nothing else of the site is touched.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "health_report.h"
#include "link_checker.h"
#include "link_health.h"

namespace trevanto::check {

inline constexpr std::string_view kHistoryFileName = "link-health.json";
inline constexpr std::string_view kHealthPageName = "link-health.html";
inline constexpr std::string_view kHealthScriptName = "link-health.js";

struct CheckProgress {
  std::size_t done = 0;   // of the addresses this check asks, answered or given up
  std::size_t total = 0;  // of the addresses this check asks
  std::size_t failing = 0;
  std::optional<std::chrono::seconds> left;  // once enough is done to tell
};

// How long a check has left. The requests in flight are taken to have started when a place came
// free (at the start, then at each address done); each ends at the pace so far, or, when it already
// runs longer than that (a slow server), when its time runs out, retries included. The addresses
// not started yet follow at the pace so far through every place. Nothing to tell before any is done.
struct CheckPace {
  std::chrono::steady_clock::time_point started;
  std::vector<std::chrono::steady_clock::time_point> doneAt;  // each address done, in order
  std::size_t total = 0;
  std::size_t places = 1;                          // requests at a time
  std::chrono::milliseconds longestPerAddress{0};  // every try timed out, with the pauses between
};
std::optional<std::chrono::seconds> timeLeft(const CheckPace& pace, std::chrono::steady_clock::time_point now);

struct CheckRequest {
  std::filesystem::path siteFolder;
  CheckSettings settings;
  // The check stops after this long; the next one goes on from there.
  std::optional<std::chrono::milliseconds> maxTime;
  // The time recorded for each check; the system clock unless a test turns it.
  std::function<UnixTime()> clock;
  // How often the history is saved while the check goes on (and at its end).
  std::chrono::milliseconds saveEvery{5'000};
  // An unfinished check younger than this is taken up again; an older one starts afresh.
  std::chrono::seconds resumeWithin{12 * 60 * 60};
  // Called a few times a second and at the end.
  std::function<void(const CheckProgress&)> onProgress;
  // Polled a few times a second: true stops the check, keeping what it found.
  std::function<bool()> stopRequested;
};

struct CheckReport {
  std::string error;  // what kept the check from being made, naming the file and the reason
  HealthCounts counts;
  std::size_t asked = 0;        // addresses this check asked
  std::size_t alreadyDone = 0;  // addresses an interrupted check had done, not asked again
  std::size_t left = 0;         // addresses this check did not come to
  bool completed = false;       // every address of the site has been checked in this check
  bool outOfTime = false;
  bool stopped = false;
  bool failed() const { return !error.empty(); }
};

CheckReport runCheck(const CheckRequest& request);

// The lines a person reads at the end.
std::vector<std::string> summaryLines(const CheckReport& report, const std::filesystem::path& siteFolder);

}  // namespace trevanto::check

// SPDX-License-Identifier: MIT
// trevanto-check: which links of a site still answer, for a person at a terminal and for a timer.
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_line.h"
#include "base/process.h"
#include "check/check_run.h"
#ifdef TREVANTO_HAS_SAVED_FOLDERS
#include "settings/saved_folders.h"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: trevanto-check [--max-time DURATION] SITE\n"
    "       trevanto-check [--max-time DURATION] --settings\n"
    "Checks whether the web links of the site in SITE still answer and writes the result\n"
    "into SITE/export: link-health.html to read, link-health.json (the history) and\n"
    "link-health.js (for the search). A link is dead when it failed in checks at least\n"
    "20 hours apart. No page, shortcut or bookmark file is changed.\n"
    "\n"
    "  --max-time DURATION  stop after DURATION (seconds, or with s, m or h: 90s, 20m, 2h);\n"
    "                       the next check goes on where this one stopped\n"
    "  --settings           check the site folder the window (trevanto) last saved\n"
    "  -h, --help           print this help and exit\n"
    "  -v, --version        print the version and exit\n"
    "\n"
    "Ctrl-C stops the check and keeps what it found. Exit status: 0 when the links were\n"
    "checked (dead links are no error), 1 when the site could not be checked (the reason on\n"
    "standard error), 2 on wrong usage.\n";

// "90", "90s", "20m", "2h" as milliseconds; nothing when it is none of these or not positive.
std::optional<std::chrono::milliseconds> parseDuration(std::string_view text) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || value <= 0 || value > 10'000'000) return std::nullopt;
  const std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
  if (unit.empty() || unit == "s") return std::chrono::seconds(value);
  if (unit == "m") return std::chrono::minutes(value);
  if (unit == "h") return std::chrono::hours(value);
  return std::nullopt;
}

std::string durationText(std::chrono::seconds left) {
  const long long seconds = left.count();
  if (seconds < 60) return std::to_string(seconds) + " с";
  if (seconds < 3600) return std::to_string((seconds + 59) / 60) + " мин";
  return std::to_string(seconds / 3600) + " ч " + std::to_string(seconds % 3600 / 60) + " мин";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace trevanto;
  base::CommandLine commandLine("trevanto-check", kUsage, {{"--max-time", true, ""}, {"--settings", false, ""}});
  return commandLine.run(argc, argv, [&]() -> int {
    const std::vector<std::string>& positional = commandLine.positional();

    check::CheckRequest request;
    if (const auto value = commandLine.value("--max-time")) {
      request.maxTime = parseDuration(*value);
      if (!request.maxTime) return commandLine.usageError("--max-time: not a duration: " + *value);
    }
    if (commandLine.has("--settings")) {
      if (!positional.empty()) return commandLine.usageError("SITE and --settings together");
#ifdef TREVANTO_HAS_SAVED_FOLDERS
      const settings::SavedFolders saved = settings::savedFolders();
      if (saved.failed()) return commandLine.failure(saved.error);
      request.siteFolder = saved.site;
#else
      return commandLine.usageError("--settings: this build cannot read the window's settings (built without Qt)");
#endif
    } else {
      if (positional.size() != 1) {
        return commandLine.usageError(positional.empty() ? "no SITE given" : "only one SITE at a time");
      }
      request.siteFolder = positional.front();
    }

    base::catchStopRequests();
    request.stopRequested = [] { return base::stopRequested(); };

    // The progress line only where a person watches it.
    bool progressShown = false;
    if (base::standardErrorIsTerminal()) {
      request.onProgress = [&progressShown](const check::CheckProgress& progress) {
        std::string line = "\rПроверено " + std::to_string(progress.done) + " из " + std::to_string(progress.total) +
                           ", не отвечают " + std::to_string(progress.failing);
        if (progress.left) line += ", осталось около " + durationText(*progress.left);
        std::cerr << line << "\x1b[K" << std::flush;
        progressShown = true;
      };
    }

    const check::CheckReport report = check::runCheck(request);
    if (progressShown) std::cerr << "\n";
    if (report.failed()) return commandLine.failure(report.error);
    for (const std::string& line : check::summaryLines(report, request.siteFolder)) std::cout << line << "\n";
    return base::kExitDone;
  });
}

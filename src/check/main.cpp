// SPDX-License-Identifier: MIT
// trevanto-check: which links of a site still answer, for a person at a terminal and for a timer.
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <clocale>
#include <csignal>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "check/check_run.h"
#ifdef TREVANTO_HAS_SAVED_FOLDERS
#include "settings/saved_folders.h"
#endif

namespace {

constexpr int kChecked = 0;
constexpr int kFailed = 1;
constexpr int kWrongUsage = 2;

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int signal) { stopSignal = signal; }

void printUsage(std::ostream& out) {
  out << "Usage: trevanto-check [--max-time DURATION] SITE\n"
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
         "  --version            print the version and exit\n"
         "\n"
         "Ctrl-C stops the check and keeps what it found. Exit status: 0 when the links were\n"
         "checked (dead links are no error), 1 when the site could not be checked (the reason on\n"
         "standard error), 2 on wrong usage.\n";
}

// "90", "90s", "20m", "2h" as milliseconds; nullopt when it is none of these or not positive.
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
  std::setlocale(LC_ALL, "");
  trevanto::check::CheckRequest request;
  std::vector<std::string_view> positional;
  bool optionsEnd = false;
  bool fromSettings = false;
  const auto wrongUsage = [](const std::string& message) {
    std::cerr << "trevanto-check: " << message << "\n";
    printUsage(std::cerr);
    return kWrongUsage;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnd || arg == "-" || !arg.starts_with("-")) {
      positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "--help" || arg == "-h") {
      printUsage(std::cout);
      return kChecked;
    } else if (arg == "--version") {
      std::cout << "trevanto-check " TREVANTO_VERSION "\n";
      return kChecked;
    } else if (arg == "--settings") {
      fromSettings = true;
    } else if (arg == "--max-time" || arg.starts_with("--max-time=")) {
      std::string_view value;
      if (arg == "--max-time") {
        if (++i == argc) return wrongUsage("--max-time needs a DURATION");
        value = argv[i];
      } else {
        value = arg.substr(std::string_view("--max-time=").size());
      }
      request.maxTime = parseDuration(value);
      if (!request.maxTime) return wrongUsage("--max-time: not a duration: " + std::string(value));
    } else {
      return wrongUsage("unknown option " + std::string(arg));
    }
  }
  if (fromSettings) {
    if (!positional.empty()) return wrongUsage("SITE and --settings together");
#ifdef TREVANTO_HAS_SAVED_FOLDERS
    const trevanto::settings::SavedFolders saved = trevanto::settings::savedFolders();
    if (saved.failed()) {
      std::cerr << "trevanto-check: " << saved.error << "\n";
      return kFailed;
    }
    request.siteFolder = saved.site;
#else
    std::cerr << "trevanto-check: --settings: this build cannot read the window's settings (built without Qt)\n";
    return kWrongUsage;
#endif
  } else {
    if (positional.size() != 1) return wrongUsage(positional.empty() ? "no SITE given" : "only one SITE at a time");
    request.siteFolder = std::string(positional.front());
  }

  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  request.stopRequested = [] { return stopSignal != 0; };

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  bool progressShown = false;
  if (terminal) {
    request.onProgress = [&progressShown](const trevanto::check::CheckProgress& progress) {
      std::string line = "\rПроверено " + std::to_string(progress.done) + " из " + std::to_string(progress.total) +
                         ", не отвечают " + std::to_string(progress.failing);
      if (progress.left) line += ", осталось около " + durationText(*progress.left);
      std::cerr << line << "\x1b[K" << std::flush;
      progressShown = true;
    };
  }

  const trevanto::check::CheckReport report = trevanto::check::runCheck(request);
  if (progressShown) std::cerr << "\n";
  if (report.failed()) {
    std::cerr << "trevanto-check: " << report.error << "\n";
    return kFailed;
  }
  for (const std::string& line : trevanto::check::summaryLines(report, request.siteFolder)) {
    std::cout << line << "\n";
  }
  return kChecked;
}

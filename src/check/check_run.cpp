// SPDX-License-Identifier: MIT
#include "check_run.h"

#include <algorithm>
#include <unordered_set>

#include "base/file_error.h"
#include "base/files.h"
#include "base/folder_order.h"
#include "base/whole_files.h"
#include "site/page_format.h"
#include "site/site_export.h"
#include "site/site_files.h"

namespace trevanto::check {
namespace {

using SteadyClock = std::chrono::steady_clock;

std::string quoted(const std::filesystem::path& path) { return "\xC2\xAB" + path.string() + "\xC2\xBB"; }

UnixTime systemNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The export folder, created when absent, locked against a second check of the same site.
base::OpenFolder openExportFolder(const std::filesystem::path& folder) {
  if (const std::error_code error = base::makeFolder(folder); error && error != std::errc::file_exists) {
    throw base::FileError("Не удалось создать папку", folder, base::systemReason(error));
  }
  std::error_code error;
  base::OpenFolder opened = base::OpenFolder::open(folder, error);
  if (error) throw base::FileError::worded("Папка ", folder, " недоступна", base::systemReason(error));
  if (error = base::canWriteInto(folder); error) {
    throw base::FileError::worded("В папку ", folder, " нельзя писать", base::systemReason(error));
  }
  if (error = opened.tryLock(); error) {
    if (error == std::errc::resource_unavailable_try_again)
      throw base::FileError::worded("Ссылки сайта уже проверяются: папка ", folder, " занята");
    throw base::FileError("Не удалось занять папку", folder, base::systemReason(error));
  }
  return opened;
}

// Temporary files of a check killed while it saved; the check holds the folder's lock.
void removeLeftovers(const std::filesystem::path& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    const std::string name = entry.path().filename().string();
    for (std::string_view file : {kHistoryFileName, kHealthPageName, kHealthScriptName}) {
      if (base::isTemporaryFileFor(name, file)) base::removeFile(entry.path());
    }
  }
}

void replaceFile(const std::filesystem::path& path, std::string_view bytes) {
  base::FileReplacement file(path);
  file.write(bytes);
  file.commit();
}

// An address whose every try times out: the tries and the growing pauses between them.
std::chrono::milliseconds longestPerAddress(const CheckSettings& settings) {
  std::chrono::milliseconds longest{0};
  std::chrono::milliseconds pause = settings.retryPause;
  for (int attempt = 0; attempt <= settings.retries; ++attempt) {
    longest += settings.requestTimeout;
    if (attempt < settings.retries) {
      longest += pause;
      pause *= 2;
    }
  }
  return longest;
}

}  // namespace

std::optional<std::chrono::seconds> timeLeft(const CheckPace& pace, SteadyClock::time_point now) {
  using std::chrono::milliseconds;
  const std::size_t done = pace.doneAt.size();
  if (done == 0 || pace.total == 0) return std::nullopt;
  if (done >= pace.total) return std::chrono::seconds(0);
  const std::size_t places = std::min(pace.places, pace.total);
  const std::size_t startedCount = std::min(pace.total, places + done);
  const auto startOf = [&](std::size_t event) { return event < places ? pace.started : pace.doneAt[event - places]; };
  const auto since = [now](SteadyClock::time_point at) {
    return std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(now - at));
  };
  // The pace: how long an address took, the k-th done taken to be the k-th started.
  milliseconds spent{0};
  for (std::size_t k = 0; k < done; ++k) {
    spent += std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(pace.doneAt[k] - startOf(k)));
  }
  const milliseconds perAddress = std::max(milliseconds(1), spent / static_cast<long>(done));

  // A request running more than twice the pace (and five seconds) waits on a slow server.
  const milliseconds slow = std::max(2 * perAddress, milliseconds(5000));
  milliseconds left{0};
  for (std::size_t event = done; event < startedCount; ++event) {
    const milliseconds age = since(startOf(event));
    const milliseconds end = age < slow ? std::max(perAddress - age, milliseconds(1000))
                                        : std::max(pace.longestPerAddress - age, milliseconds(1000));
    left = std::max(left, end);
  }
  const std::size_t waiting = pace.total - startedCount;
  left = std::max(left, perAddress * static_cast<long>(waiting) / static_cast<long>(places));
  return std::chrono::ceil<std::chrono::seconds>(left);
}

namespace {

// The site's links, once the folder is known to hold a site: a folder with a menu or section pages.
SiteLinks readSite(const std::filesystem::path& siteFolder) {
  std::error_code error;
  const std::optional<base::FileStatus> site = base::fileStatus(siteFolder, error);
  if (!site) throw base::FileError::worded("Папка сайта ", siteFolder, " недоступна", base::systemReason(error));
  if (site->kind != base::FileKind::Folder)
    throw base::FileError::worded("", siteFolder, " не папка сайта", "это файл");
  SiteLinks links = readSiteLinks(siteFolder);
  const std::filesystem::path menu = base::joinPath(siteFolder, site::kMenuPageName);
  if (links.sections.empty() && !base::fileStatus(menu, error)) {
    throw base::FileError::worded("В папке ", siteFolder, " нет сайта",
                                  "нет ни меню " + quoted(menu) + ", ни страниц разделов");
  }
  return links;
}

// The history holds the site's addresses only; a link deleted from the pages leaves it.
void forgetAddressesNotOnSite(LinkHistory& history, const SiteLinks& links) {
  const std::unordered_set<std::string_view> onSite(links.webAddresses.begin(), links.webAddresses.end());
  std::erase_if(history.links, [&](const auto& entry) { return !onSite.contains(entry.first); });
}

// One check of a site, step by step: the site's links and its history, the addresses to ask, the
// asking (the history saved as it goes), the page and the script of the result.
class CheckRun {
 public:
  CheckRun(const CheckRequest& request, CheckReport& report)
      : request_(request),
        report_(report),
        clock_(request.clock ? request.clock : std::function<UnixTime()>(systemNow)),
        started_(SteadyClock::now()) {}

  void run() {
    links_ = readSite(request_.siteFolder);
    exportFolder_ = base::joinPath(request_.siteFolder, site::kExportFolderName);
    lock_ = openExportFolder(exportFolder_);
    removeLeftovers(exportFolder_);
    historyFile_ = base::joinPath(exportFolder_, kHistoryFileName);
    history_ = readHistory(historyFile_);
    forgetAddressesNotOnSite(history_, links_);
    todo_ = addressesToAsk(takeUpInterruptedCheck());
    progress_ = {0, todo_.size(), 0, std::nullopt};
    pace_ = {started_, {}, todo_.size(), std::max<std::size_t>(request_.settings.maxInFlight, 1),
             longestPerAddress(request_.settings)};
    save();  // the check under way is on record before the first request
    lastSave_ = SteadyClock::now();
    const bool completed = checkAddresses(
        todo_, request_.settings, [this](std::size_t index, const Outcome& outcome) { record(index, outcome); },
        [this] { return shouldStop(); });
    if (saveError_) throw *saveError_;
    finish(completed);
  }

 private:
  // An unfinished check of late is taken up again (true); else a new one begins.
  bool takeUpInterruptedCheck() {
    const UnixTime now = clock_();
    const bool resume = !history_.checkFinished && history_.checkStarted != 0 && now >= history_.checkStarted &&
                        now - history_.checkStarted < request_.resumeWithin.count();
    if (!resume) {
      history_.checkStarted = now;
      history_.checkFinished = false;
    }
    return resume;
  }

  // Addresses never checked first, in the menu's order, then the longest unchecked: a site too
  // large for one check's time still gets every address asked over a few checks. Addresses that
  // the check taken up again has asked already are counted, not asked again.
  std::vector<std::string> addressesToAsk(bool resume) {
    std::vector<std::pair<UnixTime, const std::string*>> waiting;
    for (const std::string& address : links_.webAddresses) {
      const auto found = history_.links.find(address);
      const UnixTime checkedAt = found == history_.links.end() ? 0 : found->second.checkedAt;
      if (resume && checkedAt >= history_.checkStarted) {
        ++report_.alreadyDone;
      } else {
        waiting.emplace_back(checkedAt, &address);
      }
    }
    std::stable_sort(waiting.begin(), waiting.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> todo;
    todo.reserve(waiting.size());
    for (const auto& entry : waiting) todo.push_back(*entry.second);
    return todo;
  }

  void record(std::size_t index, const Outcome& outcome) {
    recordOutcome(history_.links[todo_[index]], outcome, clock_());
    ++progress_.done;
    pace_.doneAt.push_back(SteadyClock::now());
    if (outcome.state == LinkState::Failing) ++progress_.failing;
  }

  // Between events: tells the progress, stops when asked to or out of time, saves when due.
  bool shouldStop() {
    tell(false);
    if (request_.stopRequested && request_.stopRequested()) {
      report_.stopped = true;
      return true;
    }
    if (request_.maxTime && SteadyClock::now() - started_ >= *request_.maxTime) {
      report_.outOfTime = true;
      return true;
    }
    return !saveWhenDue();
  }

  // A save that fails stops the check; its error is thrown once the requests are dropped.
  bool saveWhenDue() {
    if (SteadyClock::now() - lastSave_ < request_.saveEvery) return true;
    try {
      save();
    } catch (const base::FileError& problem) {
      saveError_ = problem;
      return false;
    }
    lastSave_ = SteadyClock::now();
    return true;
  }

  void save() {
    base::FileReplacement file(historyFile_);
    writeHistory(history_, [&file](std::string_view piece) { file.write(piece); });
    file.commit();
  }

  // The progress, a few times a second (always when asked to); the time left once enough is done.
  void tell(bool always) {
    const auto at = SteadyClock::now();
    if (!request_.onProgress || (!always && at - lastProgress_ < std::chrono::milliseconds(250))) return;
    lastProgress_ = at;
    if (progress_.done >= 20 || (progress_.done > 0 && at - started_ > std::chrono::seconds(5))) {
      progress_.left = timeLeft(pace_, at);
    }
    request_.onProgress(progress_);
  }

  void finish(bool completed) {
    tell(true);
    report_.asked = progress_.done;
    report_.left = progress_.total - progress_.done;
    report_.completed = completed;
    if (completed) history_.checkFinished = true;
    save();
    replaceFile(base::joinPath(exportFolder_, kHealthPageName), healthPage(links_, history_));
    replaceFile(base::joinPath(exportFolder_, kHealthScriptName), healthScript(links_, history_));
    report_.counts = countHealth(links_, history_);
  }

  const CheckRequest& request_;
  CheckReport& report_;
  std::function<UnixTime()> clock_;
  SteadyClock::time_point started_;
  SiteLinks links_;
  std::filesystem::path exportFolder_;
  base::OpenFolder lock_;  // held until the check ends
  std::filesystem::path historyFile_;
  LinkHistory history_;
  std::vector<std::string> todo_;
  CheckProgress progress_;
  CheckPace pace_;
  SteadyClock::time_point lastSave_;
  SteadyClock::time_point lastProgress_{};
  std::optional<base::FileError> saveError_;
};

}  // namespace

CheckReport runCheck(const CheckRequest& request) {
  CheckReport report;
  try {
    CheckRun(request, report).run();
  } catch (const base::FileError& problem) {
    report.error = problem.what();
  }
  return report;
}

std::vector<std::string> summaryLines(const CheckReport& report, const std::filesystem::path& siteFolder) {
  const HealthCounts& counts = report.counts;
  std::vector<std::string> lines;
  lines.push_back("Проверено ссылок: " + std::to_string(counts.checked) +
                  ", отвечают: " + std::to_string(counts.alive) + " (переехали: " + std::to_string(counts.moved) +
                  "), не отвечают: " + std::to_string(counts.failing) + ", мёртвые: " + std::to_string(counts.dead) +
                  ", не проверяются (не http/https): " + std::to_string(counts.notChecked) + ".");
  if (report.alreadyDone > 0) {
    lines.push_back("Продолжена прерванная проверка: " + std::to_string(report.alreadyDone) +
                    " ссылок уже были проверены.");
  }
  if (!report.completed) {
    std::string why = report.outOfTime ? "время вышло" : report.stopped ? "остановлена" : "прервана";
    lines.push_back("Проверка не закончена (" + why + "): ещё не проверены " + std::to_string(report.left) +
                    " ссылок; следующая проверка продолжит её.");
  }
  lines.push_back("Отчёт: " +
                  base::joinPath(base::joinPath(siteFolder, site::kExportFolderName), kHealthPageName).string());
  return lines;
}

}  // namespace trevanto::check

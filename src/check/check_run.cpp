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

CheckReport runCheck(const CheckRequest& request) {
  CheckReport report;
  const auto clock = request.clock ? request.clock : std::function<UnixTime()>(systemNow);
  const auto started = SteadyClock::now();
  try {
    std::error_code error;
    const std::optional<base::FileStatus> site = base::fileStatus(request.siteFolder, error);
    if (!site) {
      throw base::FileError::worded("Папка сайта ", request.siteFolder, " недоступна", base::systemReason(error));
    }
    if (site->kind != base::FileKind::Folder) throw base::FileError::worded("", request.siteFolder, " не папка сайта", "это файл");
    const SiteLinks links = readSiteLinks(request.siteFolder);
    const std::filesystem::path menu = base::joinPath(request.siteFolder, site::kMenuPageName);
    if (links.sections.empty() && !base::fileStatus(menu, error)) {
      throw base::FileError::worded("В папке ", request.siteFolder, " нет сайта",
                                    "нет ни меню " + quoted(menu) + ", ни страниц разделов");
    }
    const std::filesystem::path folder = base::joinPath(request.siteFolder, site::kExportFolderName);
    const base::OpenFolder lock = openExportFolder(folder);
    removeLeftovers(folder);
    const std::filesystem::path historyFile = base::joinPath(folder, kHistoryFileName);
    LinkHistory history = readHistory(historyFile);

    // The history holds the site's addresses only; a link deleted from the pages leaves it.
    std::unordered_set<std::string_view> onSite(links.webAddresses.begin(), links.webAddresses.end());
    std::erase_if(history.links, [&](const auto& entry) { return !onSite.contains(entry.first); });

    const UnixTime now = clock();
    const bool resume = !history.checkFinished && history.checkStarted != 0 && now >= history.checkStarted &&
                        now - history.checkStarted < request.resumeWithin.count();
    if (!resume) {
      history.checkStarted = now;
      history.checkFinished = false;
    }
    // Addresses never checked first, in the menu's order, then the longest unchecked: a site too
    // large for one check's time still gets every address asked over a few checks.
    std::vector<std::pair<UnixTime, const std::string*>> waiting;
    for (const std::string& address : links.webAddresses) {
      const auto found = history.links.find(address);
      const UnixTime checkedAt = found == history.links.end() ? 0 : found->second.checkedAt;
      if (resume && checkedAt >= history.checkStarted) {
        ++report.alreadyDone;
      } else {
        waiting.emplace_back(checkedAt, &address);
      }
    }
    std::stable_sort(waiting.begin(), waiting.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> todo;
    todo.reserve(waiting.size());
    for (const auto& entry : waiting) todo.push_back(*entry.second);

    CheckProgress progress{0, todo.size(), 0, std::nullopt};
    CheckPace pace{started, {}, todo.size(), std::max<std::size_t>(request.settings.maxInFlight, 1),
                   longestPerAddress(request.settings)};
    const auto save = [&] {
      base::FileReplacement file(historyFile);
      writeHistory(history, [&file](std::string_view piece) { file.write(piece); });
      file.commit();
    };
    save();  // the check under way is on record before the first request
    auto lastSave = SteadyClock::now();
    auto lastProgress = SteadyClock::time_point{};
    std::optional<base::FileError> saveError;
    const auto tell = [&](bool always) {
      const auto at = SteadyClock::now();
      if (!request.onProgress || (!always && at - lastProgress < std::chrono::milliseconds(250))) return;
      lastProgress = at;
      if (progress.done >= 20 || (progress.done > 0 && at - started > std::chrono::seconds(5))) {
        progress.left = timeLeft(pace, at);
      }
      request.onProgress(progress);
    };

    const bool completed = checkAddresses(
        todo, request.settings,
        [&](std::size_t index, const Outcome& outcome) {
          recordOutcome(history.links[todo[index]], outcome, clock());
          ++progress.done;
          pace.doneAt.push_back(SteadyClock::now());
          if (outcome.state == LinkState::Failing) ++progress.failing;
        },
        [&] {
          tell(false);
          if (request.stopRequested && request.stopRequested()) {
            report.stopped = true;
            return true;
          }
          if (request.maxTime && SteadyClock::now() - started >= *request.maxTime) {
            report.outOfTime = true;
            return true;
          }
          if (SteadyClock::now() - lastSave >= request.saveEvery) {
            try {
              save();
            } catch (const base::FileError& problem) {
              saveError = problem;
              return true;
            }
            lastSave = SteadyClock::now();
          }
          return false;
        });
    if (saveError) throw *saveError;
    tell(true);
    report.asked = progress.done;
    report.left = progress.total - progress.done;
    report.completed = completed;
    if (completed) history.checkFinished = true;
    save();
    replaceFile(base::joinPath(folder, kHealthPageName), healthPage(links, history));
    replaceFile(base::joinPath(folder, kHealthScriptName), healthScript(links, history));
    report.counts = countHealth(links, history);
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

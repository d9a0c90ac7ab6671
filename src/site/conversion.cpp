// SPDX-License-Identifier: MIT
#include "conversion.h"

#include <climits>
#include <optional>
#include <unordered_map>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/folder_order.h"
#include "base/text.h"
#include "base/whole_files.h"
#include "page_format.h"
#include "page_search.h"
#include "run_reading.h"
#include "run_sync.h"
#include "run_writing.h"
#include "shortcut_listing.h"
#include "shortcut_prefetch.h"
#include "shortcut_reader.h"
#include "site_export.h"
#include "site_files.h"
#include "text_encoding.h"

namespace trevanto::site {
namespace {

// A run: the reading half (sections, shortcuts, what is skipped) and the writing half (pages,
// menu, templates) meet here, a section at a time.
class ConversionRun {
 public:
  explicit ConversionRun(const RunRequest& request)
      : request_(request), reading_(request.sourceFolder, request.nestedSections, report_) {}

  RunReport run() {
    std::optional<SiteWriting> writing;
    try {
      writing.emplace(request_);
      std::vector<Section> sections = reading_.gatherSections();
      for (Section& section : sections) {
        if (!convertSection(section, *writing)) break;
      }
      if (request_.syncAtEnd) writing->sync();
      if (!report_.stopped && request_.writeExport) {
        report_.exportProblem = writeSiteExport(request_.siteFolder, request_.programFolder).problem;
      }
    } catch (const std::exception& failure) {
      report_.error = failure.what();
      if (request_.syncAtEnd && writing) writing->syncWhatWasWritten();
    }
    reading_.stop();  // no read goes on after the run
    return std::move(report_);
  }

 private:
  // A count of the report; at its limit the run stops, naming the source folder, rather than wrap.
  void countOne(std::int32_t& counter) const {
    if (counter == INT32_MAX)
      throw base::FileError::worded("Слишком много ярлыков в «", request_.sourceFolder,
                                    "» для одного запуска: счётчик ссылок переполнен");
    ++counter;
  }

  // Returns false when the run was asked to stop.
  bool convertSection(Section& section, SiteWriting& writing) {
    const std::string& SectionName = section.SectionName;
    const std::string pageName = SectionName + std::string(kPageSuffix);
    const std::filesystem::path page = base::joinPath(request_.siteFolder, pageName);
    const bool pageExisted = writing.holds(pageName);
    PageLinkIndex index;
    index.load(page);
    if (pageExisted) writing.completeEmptyPage(page);
    const SectionShortcuts shortcuts = reading_.readShortcuts(section, index, pageExisted);

    // Old links already answered for, each with the address it answered for: one old link
    // stands for one address only.
    std::unordered_map<std::string_view, std::string_view> claims;
    const auto oldLinkAnswersFor = [&](std::size_t position, const std::string& address) {
      const auto old = shortcuts.oldLinks.find(position);
      if (old == shortcuts.oldLinks.end()) return false;
      const auto [claim, added] = claims.emplace(old->second, address);
      return added || claim->second == address;
    };

    const std::string shownSectionName = base::displayName(SectionName);
    std::optional<PageAppender> appender;
    // Links count as converted once they are on the page: when the run stops on a failure
    // (a full disk), those still gathered or lost with a failed write are taken back.
    std::int32_t appended = 0;
    try {
      return convertShortcuts(section, shortcuts, index, page, pageName, shownSectionName, oldLinkAnswersFor, writing,
                              appender, appended);
    } catch (...) {
      if (appender) {
        try {
          appender->flush();
        } catch (const std::exception&) {
          // The failure that stopped the run is the one reported.
        }
        report_.ConvertedCount -= appended - static_cast<std::int32_t>(appender->linesWritten());
      }
      throw;
    }
  }

  template <typename OldLinkAnswersFor>
  bool convertShortcuts(const Section& section, const SectionShortcuts& shortcuts, PageLinkIndex& index,
                        const std::filesystem::path& page, const std::string& pageName,
                        const std::string& shownSectionName, OldLinkAnswersFor& oldLinkAnswersFor,
                        SiteWriting& writing, std::optional<PageAppender>& appender, std::int32_t& appended) {
    const std::string& SectionName = section.SectionName;
    for (std::size_t position = 0; position < shortcuts.list.size(); ++position) {
      if (request_.stopRequested && request_.stopRequested()) {
        if (appender) appender->flush();
        report_.stopped = true;
        return false;
      }
      if (request_.onProgress) request_.onProgress({done_, reading_.total(), shownSectionName});
      ++done_;
      const Shortcut& shortcut = shortcuts.list[position];
      const std::string_view LinkName = std::string_view(shortcut.fileName).substr(0, shortcut.fileName.size() - 4);
      const std::string& LinkText = shortcut.address;
      if (const auto skipped = shortcuts.skipReasons.find(position); skipped != shortcuts.skipReasons.end()) {
        report_.skipped.push_back({shownSectionName, base::displayName(LinkName), skipped->second});
        continue;
      }
      if (!writing.holds(pageName)) {
        writing.createSectionPage(SectionName);
        countOne(report_.NewSectionCount);
      }
      if (!index.complete() && appender) appender->flush();  // the page answers for itself: it must hold every line
      if (index.holdsLinkTo(LinkText) || oldLinkAnswersFor(position, LinkText)) {
        countOne(report_.RepeatCount);
        continue;
      }
      if (!appender) {
        writing.willAppendTo(page);
        appender.emplace(page);
      }
      appender->appendLine(linkLine(LinkText, LinkName));
      index.add(LinkText);
      countOne(report_.ConvertedCount);
      ++appended;
      if (!writing.holds(kMenuPageName)) {
        appender->flush();  // the section's links stand in its page before the menu points to it
        writing.ensureMenuPage();
      }
    }
    if (appender) appender->flush();
    return true;
  }

  const RunRequest& request_;
  RunReport report_;
  RunReading reading_;
  std::int64_t done_ = 0;
};

}  // namespace

RunReport runConversion(const RunRequest& request) { return ConversionRun(request).run(); }

std::vector<std::string> statisticsLines(const RunReport& report) {
  std::vector<std::string> lines = {
      "Было конвертировано :" + base::countText(report.ConvertedCount) + " ссылок.",
      "Создано новых :" + base::countText(report.NewSectionCount) + " разделов.",
      "Кол. во повторов ссылок :" + base::countText(report.RepeatCount) + " .",
  };
  std::int64_t shortcuts = 0;
  std::int64_t sections = 0;
  for (const SkippedShortcut& skipped : report.skipped) ++(skipped.name.empty() ? sections : shortcuts);
  if (shortcuts > 0) lines.push_back("Пропущено ярлыков :" + base::countText(shortcuts));
  if (sections > 0) lines.push_back("Пропущено разделов :" + base::countText(sections));
  base::appendNamedEntries(lines, report.skipped.size(), [&report](std::size_t i) {
    const SkippedShortcut& skipped = report.skipped[i];
    return skipped.name.empty() ? skipped.section + " : " + skipped.reason
                                : skipped.section + " / " + skipped.name + " : " + skipped.reason;
  });
  if (report.shortcutsInSourceFolder > 0) {
    lines.push_back("Не просмотрено ярлыков в самой исходной папке :" + base::countText(report.shortcutsInSourceFolder) +
                    " (раздел — только папка внутри неё)");
  }
  if (!report.unvisited.empty()) {
    std::int64_t shortcutsBelow = 0;
    for (const UnvisitedFolder& folder : report.unvisited) shortcutsBelow += folder.shortcuts;
    lines.push_back("Не просмотрено вложенных папок :" + base::countText(static_cast<std::int64_t>(report.unvisited.size())) +
                    " (ярлыков в них :" + base::countText(shortcutsBelow) + ")");
    base::appendNamedEntries(lines, report.unvisited.size(), [&report](std::size_t i) {
      return report.unvisited[i].path + " : ярлыков" + base::countText(report.unvisited[i].shortcuts);
    });
    lines.push_back("Вложенные папки станут разделами, если включить «Вложенные папки — разделы» (trevanto-convert --nested).");
  }
  if (report.stopped) lines.push_back("Преобразование остановлено.");
  if (!report.exportProblem.empty()) lines.push_back("Экспорт не записан: " + report.exportProblem);
  return lines;
}

std::string statisticsMessage(const RunReport& report) {
  std::string message;
  for (const std::string& line : statisticsLines(report)) {
    if (!message.empty()) message += "\n\r";
    message += line;
  }
  return message;
}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
#include "conversion.h"

#include <climits>
#include <optional>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/folder_order.h"
#include "base/text.h"
#include "base/whole_files.h"
#include "page_format.h"
#include "page_search.h"
#include "run_sync.h"
#include "shortcut_listing.h"
#include "shortcut_prefetch.h"
#include "shortcut_reader.h"
#include "site_export.h"
#include "site_files.h"
#include "text_encoding.h"

namespace trevanto::site {
namespace {

constexpr std::size_t kMaxTemplateBytes = 16 * 1024 * 1024;
constexpr std::size_t kMaxFileNameBytes = NAME_MAX;

void countOne(std::int32_t& counter) {
  if (counter == INT32_MAX)
    throw std::overflow_error("Счётчик ссылок переполнен: слишком много ярлыков для одного запуска");
  ++counter;
}

// One shortcut of the section at hand. The address is empty when the shortcut is skipped.
struct Shortcut {
  std::string fileName;  // as listed; the link's name is this less its last four characters
  std::string address;   // as it goes into the page
};

struct Section {
  std::string SectionName;
  std::vector<base::FolderEntry> entries;  // the "*.url" entries
};

class ConversionRun {
 public:
  explicit ConversionRun(const RunRequest& request) : request_(request) {}

  RunReport run() {
    try {
      SiteFolderLock lock(request_.siteFolder);
      for (auto& name : listFiles(request_.siteFolder, FilePattern::AllFiles)) {
        if (isLeftoverTemporaryFile(name)) {
          std::error_code ignored;  // one that cannot go stays hidden and harms no page
          std::filesystem::remove(base::joinPath(request_.siteFolder, name), ignored);
          continue;
        }
        siteFiles_.insert(std::move(name));
      }
      std::vector<Section> sections = gatherSections();
      prefetch_.emplace(readingPlan(sections));
      for (Section& section : sections) {
        if (!convertSection(section)) break;
      }
      // What the run wrote is on the disk before it says so.
      if (request_.syncAtEnd) written_.sync();
      if (!report_.stopped && request_.writeExport) {
        report_.exportProblem = writeSiteExport(request_.siteFolder, request_.programFolder);
      }
    } catch (const std::exception& failure) {
      report_.error = failure.what();
      if (request_.syncAtEnd) syncWhatWasWritten();
    }
    prefetch_.reset();  // no read goes on after the run
    return std::move(report_);
  }

 private:
  // The lines a failed run did write are kept as well as they can be; the failure is what it reports.
  void syncWhatWasWritten() {
    try {
      written_.sync();
    } catch (const base::FileError&) {
      // The failure that stopped the run is the one reported.
    }
  }

  std::vector<Section> gatherSections() {
    std::vector<Section> sections;
    std::vector<std::string> names = base::listSubfolders(request_.sourceFolder, base::DotFolders::Listed);
    std::vector<std::filesystem::path> folders;
    for (const std::string& name : names) {
      if (sectionNameProblem(name).empty()) folders.push_back(base::joinPath(request_.sourceFolder, name));
    }
    SectionListings listings(std::move(folders));
    for (auto& name : names) {
      if (const std::string reason = sectionNameProblem(name); !reason.empty()) {
        skipSection(name, reason);
        continue;
      }
      Section section{std::move(name), {}};
      try {
        section.entries = listings.take();
      } catch (const base::FileError& unreadable) {
        skipSection(section.SectionName, "папка не читается: " + unreadable.reason());
        continue;
      }
      total_ += static_cast<std::int64_t>(section.entries.size());
      sections.push_back(std::move(section));
    }
    return sections;
  }

  // Every shortcut file the run will read, in the order it reads them, so that reads run ahead.
  ReadingPlan readingPlan(const std::vector<Section>& sections) const {
    ReadingPlan plan;
    for (const Section& section : sections) {
      plan.addFolder(base::joinPath(request_.sourceFolder, section.SectionName));
      for (const base::FolderEntry& entry : section.entries) {
        if (!entry.isFolder) plan.addFile(entry.name);
      }
    }
    return plan;
  }

  // A section whose page would be one of the site's own pages, or a name too long for a
  // page, is passed over: writing it would destroy another page or fail the whole run.
  static std::string sectionNameProblem(const std::string& name) {
    const std::string page = name + std::string(kPageSuffix);
    if (page == kMenuPageName) return "имя раздела совпадает с именем страницы меню";
    for (std::string_view templateName : kTemplateNames) {
      if (page == templateName) return "имя раздела совпадает с именем страницы шаблона";
    }
    if (page.size() > kMaxFileNameBytes) return "имя раздела слишком длинное для имени страницы";
    return {};
  }

  void skipSection(const std::string& rawName, std::string reason) {
    report_.skipped.push_back({base::displayName(rawName), {}, std::move(reason)});
  }

  // What the run learns of a section's shortcuts before it writes any of them.
  struct SectionShortcuts {
    std::vector<Shortcut> list;
    std::unordered_map<std::size_t, std::string> skipReasons;  // by position in the list
    // By position: the link an earlier version wrote for the shortcut, kept only where the
    // page held it before this run and no shortcut of the section has it as its address.
    std::unordered_map<std::size_t, std::string> oldLinks;
  };

  SectionShortcuts readShortcuts(Section& section, const PageLinkIndex& pageBeforeRun, bool pageExisted) {
    const std::filesystem::path folder = base::joinPath(request_.sourceFolder, section.SectionName);
    SectionShortcuts read;
    read.list.reserve(section.entries.size());
    for (base::FolderEntry& entry : section.entries) {
      const std::size_t position = read.list.size();
      Shortcut& shortcut = read.list.emplace_back(Shortcut{std::move(entry.name), {}});
      if (entry.isFolder) {
        read.skipReasons[position] = "это папка, а не файл ярлыка";
        continue;
      }
      const ShortcutFile file = prefetch_->take(base::joinPath(folder, shortcut.fileName));
      if (std::string reason = problemOf(file); !reason.empty()) {
        read.skipReasons[position] = std::move(reason);
        continue;
      }
      const std::string address = readShortcutAddress(file.bytes);
      if (address.empty()) {
        read.skipReasons[position] = "нет адреса";
        continue;
      }
      if (isUnsafeAddress(address)) {
        read.skipReasons[position] = "небезопасный адрес (запускает код)";
        continue;
      }
      shortcut.address = addressForPage(address);
      if (!pageExisted) continue;  // no earlier version wrote into a page that is not there
      std::optional<std::string> oldLink = oldLinkText(file.bytes);
      if (oldLink && !oldLink->empty() && *oldLink != shortcut.address && pageBeforeRun.holdsLinkTo(*oldLink)) {
        read.oldLinks.emplace(position, std::move(*oldLink));
      }
    }
    section.entries.clear();
    dropOldLinksThatAreAddresses(read);
    return read;
  }

  static std::string problemOf(const ShortcutFile& file) {
    switch (file.problem) {
      case ShortcutFileProblem::NotRegularFile:
        return "не обычный файл";
      case ShortcutFileProblem::TooLarge:
        return "файл больше 1 МиБ";
      case ShortcutFileProblem::Unreadable:
        return "не читается: " + file.reason;
      case ShortcutFileProblem::None:
        break;
    }
    return {};
  }

  // An old link that is the address of a shortcut of the section belongs to that shortcut.
  static void dropOldLinksThatAreAddresses(SectionShortcuts& read) {
    if (read.oldLinks.empty()) return;
    std::unordered_set<std::string_view> oldLinks;
    for (const auto& [position, text] : read.oldLinks) oldLinks.insert(text);
    std::unordered_set<std::string_view> taken;
    for (const Shortcut& shortcut : read.list) {
      if (oldLinks.contains(shortcut.address)) taken.insert(shortcut.address);
    }
    std::erase_if(read.oldLinks, [&taken](const auto& entry) { return taken.contains(entry.second); });
  }

  // Returns false when the run was asked to stop.
  bool convertSection(Section& section) {
    const std::string& SectionName = section.SectionName;
    const std::string pageName = SectionName + std::string(kPageSuffix);
    const std::filesystem::path page = base::joinPath(request_.siteFolder, pageName);
    const bool pageExisted = siteFiles_.contains(pageName);
    PageLinkIndex index;
    index.load(page);
    // A page whose creation a power cut interrupted stands empty: its header line goes first.
    std::error_code unknown;
    if (pageExisted && std::filesystem::file_size(page, unknown) == 0 && !unknown) {
      written_.addFile(page);
      appendLineTo(page, sectionHeaderLine());
    }
    const SectionShortcuts shortcuts = readShortcuts(section, index, pageExisted);

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
    for (std::size_t position = 0; position < shortcuts.list.size(); ++position) {
      if (request_.stopRequested && request_.stopRequested()) {
        if (appender) appender->flush();
        report_.stopped = true;
        return false;
      }
      if (request_.onProgress) request_.onProgress({done_, total_, shownSectionName});
      ++done_;
      const Shortcut& shortcut = shortcuts.list[position];
      const std::string_view LinkName = std::string_view(shortcut.fileName).substr(0, shortcut.fileName.size() - 4);
      const std::string& LinkText = shortcut.address;
      if (const auto skipped = shortcuts.skipReasons.find(position); skipped != shortcuts.skipReasons.end()) {
        report_.skipped.push_back({shownSectionName, base::displayName(LinkName), skipped->second});
        continue;
      }
      if (!siteFiles_.contains(pageName)) {
        // The menu entry and the templates go out before the page, and the page appears with
        // its header line: a page in the site folder always has its entry, and a run stopped
        // in between is completed by the next one.
        addSectionToMenu(SectionName);
        written_.addFile(page);
        written_.addFolder(request_.siteFolder);
        createPageWithLine(page, sectionHeaderLine(), base::Sync::No);
        siteFiles_.insert(pageName);
        countOne(report_.NewSectionCount);
      }
      if (!index.complete() && appender) appender->flush();  // the page answers for itself: it must hold every line
      if (index.holdsLinkTo(LinkText) || oldLinkAnswersFor(position, LinkText)) {
        countOne(report_.RepeatCount);
        continue;
      }
      if (!appender) {
        written_.addFile(page);
        appender.emplace(page);
      }
      appender->appendLine(linkLine(LinkText, LinkName));
      index.add(LinkText);
      countOne(report_.ConvertedCount);
      if (!siteFiles_.contains(kMenuPageName)) {
        appender->flush();  // the section's links stand in its page before the menu points to it
        ensureMenuPage();
      }
    }
    if (appender) appender->flush();
    return true;
  }

  // The menu page with its header line, created when the site folder has none.
  void ensureMenuPage() {
    if (siteFiles_.contains(kMenuPageName)) return;
    written_.addFolder(request_.siteFolder);
    createPageWithLine(base::joinPath(request_.siteFolder, kMenuPageName), menuHeaderLine(), base::Sync::BeforeNaming);
    siteFiles_.insert(std::string(kMenuPageName));
  }

  // A new section's line in the menu, then the template pages copied beside it.
  void addSectionToMenu(const std::string& SectionName) {
    for (std::string_view name : kTemplateNames) templateText(name);  // a missing one stops the run here
    ensureMenuPage();
    // A run stopped between a section's menu line and its page left the line behind.
    const std::string reference = fileReferenceForPage(SectionName + std::string(kPageSuffix));
    if (!menuLinks().holdsLinkTo(reference)) {
      written_.addFile(base::joinPath(request_.siteFolder, kMenuPageName));
      appendLineTo(base::joinPath(request_.siteFolder, kMenuPageName), menuLine(SectionName));
      menuLinks().add(reference);
    }
    written_.addFolder(request_.siteFolder);  // a template replaced takes its name by a rename
    for (std::string_view name : kTemplateNames) {
      base::makeFileHold(base::joinPath(request_.siteFolder, name), templateText(name));
      siteFiles_.insert(std::string(name));
    }
  }

  // The section pages the menu links to, read once a run first needs them.
  PageLinkIndex& menuLinks() {
    if (!menuLinksLoaded_) {
      menuLinks_.load(base::joinPath(request_.siteFolder, kMenuPageName));
      menuLinksLoaded_ = true;
    }
    return menuLinks_;
  }

  const std::string& templateText(std::string_view name) {
    auto found = templates_.find(std::string(name));
    if (found == templates_.end()) {
      const std::filesystem::path path = base::joinPath(request_.programFolder, name);
      std::string text;
      try {
        text = base::readWholeFile(path, kMaxTemplateBytes);
      } catch (const base::FileError& missing) {
        throw base::FileError("Не найдена страница шаблона", path, missing.reason());
      }
      found = templates_.emplace(std::string(name), std::move(text)).first;
    }
    return found->second;
  }

  const RunRequest& request_;
  RunReport report_;
  std::set<std::string, std::less<>> siteFiles_;  // looked up by string_view too
  std::unordered_map<std::string, std::string> templates_;
  PageLinkIndex menuLinks_;
  bool menuLinksLoaded_ = false;
  std::optional<ShortcutPrefetch> prefetch_;
  WrittenFiles written_;
  std::int64_t done_ = 0;
  std::int64_t total_ = 0;
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

#include "conversion.h"

#include <climits>
#include <optional>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "folder_order.h"
#include "page_format.h"
#include "page_search.h"
#include "shortcut_reader.h"
#include "site_error.h"
#include "site_files.h"
#include "text_encoding.h"

namespace trevanto::site {
namespace {

constexpr std::size_t kMaxTemplateBytes = 16 * 1024 * 1024;
constexpr std::size_t kMaxFileNameBytes = NAME_MAX;

// A name as the user reads it: UTF-8, control characters shown as '?'.
std::string displayName(std::string_view raw) {
  std::string name = fileNameToUtf8(raw);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return name;
}

void countOne(std::int32_t& counter) {
  if (counter == INT32_MAX) throw std::overflow_error("Счётчик ссылок переполнен: слишком много ярлыков для одного запуска");
  ++counter;
}

struct Shortcut {
  std::string fileName;  // as listed
  std::string LinkName;  // the file name less its last four characters
  std::string address;   // as it goes into the page; empty when skipped
  std::optional<std::string> oldText;  // what earlier versions wrote for it
  std::string skipReason;
};

struct Section {
  std::string SectionName;
  std::vector<FolderEntry> entries;  // the "*.url" entries
};

class ConversionRun {
 public:
  explicit ConversionRun(const RunRequest& request) : request_(request) {}

  RunReport run() {
    try {
      SiteFolderLock lock(request_.siteFolder);
      for (auto& name : listFiles(request_.siteFolder, FilePattern::AllFiles)) siteFiles_.insert(std::move(name));
      const std::vector<Section> sections = gatherSections();
      for (const Section& section : sections) {
        if (!convertSection(section)) break;
      }
    } catch (const std::exception& failure) {
      report_.error = failure.what();
    }
    return std::move(report_);
  }

  // The texts of the section and shortcut at hand, kept for the whole run.
  std::string SectionName;
  std::string LinkName;
  std::string LinkText;
  bool NewSectionPending = false;

 private:
  std::vector<Section> gatherSections() {
    std::vector<Section> sections;
    for (auto& name : listSubfolders(request_.sourceFolder)) {
      if (const std::string reason = sectionNameProblem(name); !reason.empty()) {
        skipSection(name, reason);
        continue;
      }
      Section section{std::move(name), {}};
      try {
        for (auto& entry : listFolder(joinPath(request_.sourceFolder, section.SectionName))) {
          if (isShortcutName(entry.name)) section.entries.push_back(std::move(entry));
        }
      } catch (const SiteError& unreadable) {
        skipSection(section.SectionName, "папка не читается: " + unreadable.reason());
        continue;
      }
      total_ += static_cast<std::int64_t>(section.entries.size());
      sections.push_back(std::move(section));
    }
    return sections;
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
    report_.skipped.push_back({displayName(rawName), {}, std::move(reason)});
  }

  std::vector<Shortcut> readShortcuts(const Section& section) {
    const std::filesystem::path folder = joinPath(request_.sourceFolder, section.SectionName);
    std::vector<Shortcut> shortcuts;
    shortcuts.reserve(section.entries.size());
    for (const FolderEntry& entry : section.entries) {
      Shortcut shortcut;
      shortcut.fileName = entry.name;
      shortcut.LinkName = entry.name.substr(0, entry.name.size() - 4);
      if (entry.isFolder) {
        shortcut.skipReason = "это папка, а не файл ярлыка";
      } else {
        readOne(joinPath(folder, entry.name), shortcut);
      }
      shortcuts.push_back(std::move(shortcut));
    }
    return shortcuts;
  }

  static void readOne(const std::filesystem::path& path, Shortcut& shortcut) {
    const ShortcutFile file = loadShortcutFile(path);
    switch (file.problem) {
      case ShortcutFileProblem::NotRegularFile: shortcut.skipReason = "не обычный файл"; return;
      case ShortcutFileProblem::TooLarge: shortcut.skipReason = "файл больше 1 МиБ"; return;
      case ShortcutFileProblem::Unreadable: shortcut.skipReason = "не читается: " + file.reason; return;
      case ShortcutFileProblem::None: break;
    }
    const std::string address = readShortcutAddress(file.bytes);
    if (address.empty()) {
      shortcut.skipReason = "нет адреса";
    } else if (isUnsafeAddress(address)) {
      shortcut.skipReason = "небезопасный адрес (запускает код)";
    } else {
      shortcut.address = addressForPage(address);
      shortcut.oldText = oldLinkText(file.bytes);
    }
  }

  // Returns false when the run was asked to stop.
  bool convertSection(const Section& section) {
    SectionName = section.SectionName;
    const std::vector<Shortcut> shortcuts = readShortcuts(section);
    const std::string pageName = SectionName + std::string(kPageSuffix);
    const std::filesystem::path page = joinPath(request_.siteFolder, pageName);

    std::unordered_set<std::string> sectionAddresses;
    for (const Shortcut& shortcut : shortcuts) {
      if (!shortcut.address.empty()) sectionAddresses.insert(shortcut.address);
    }
    // Old link texts already answered for, each with the address it answered for.
    std::unordered_map<std::string, std::string> oldTextClaims;
    std::optional<PageAppender> appender;
    PageLinkIndex index;
    bool indexLoaded = false;

    for (const Shortcut& shortcut : shortcuts) {
      if (request_.stopRequested && request_.stopRequested()) {
        report_.stopped = true;
        return false;
      }
      if (request_.onProgress) request_.onProgress({done_, total_, displayName(SectionName)});
      ++done_;
      LinkName = shortcut.LinkName;
      LinkText = shortcut.address;
      if (!shortcut.skipReason.empty()) {
        report_.skipped.push_back({displayName(SectionName), displayName(LinkName), shortcut.skipReason});
        continue;
      }
      if (!siteFiles_.contains(pageName)) {
        appender.emplace(page);
        appender->appendLine(sectionHeaderLine());
        siteFiles_.insert(pageName);
        countOne(report_.NewSectionCount);
        NewSectionPending = true;
      }
      if (!indexLoaded) {
        index.load(page);
        indexLoaded = true;
      }
      if (index.holdsLinkTo(LinkText) || oldLinkAnswersFor(shortcut, index, sectionAddresses, oldTextClaims)) {
        countOne(report_.RepeatCount);
        continue;
      }
      if (!appender) appender.emplace(page);
      appender->appendLine(linkLine(LinkText, LinkName));
      index.add(LinkText);
      countOne(report_.ConvertedCount);
      addToMenu();
    }
    return true;
  }

  // The link an earlier version wrote for this shortcut counts as its link, unless that text
  // is the address of another shortcut of the section, or already answered for another address.
  static bool oldLinkAnswersFor(const Shortcut& shortcut, const PageLinkIndex& index,
                                const std::unordered_set<std::string>& sectionAddresses,
                                std::unordered_map<std::string, std::string>& claims) {
    if (!shortcut.oldText || shortcut.oldText->empty()) return false;
    const std::string& oldText = *shortcut.oldText;
    if (sectionAddresses.contains(oldText)) return false;
    if (const auto claim = claims.find(oldText); claim != claims.end()) return claim->second == shortcut.address;
    if (!index.holdsLinkTo(oldText)) return false;
    claims.emplace(oldText, shortcut.address);
    return true;
  }

  void addToMenu() {
    const std::filesystem::path menu = joinPath(request_.siteFolder, kMenuPageName);
    if (!siteFiles_.contains(std::string(kMenuPageName))) {
      appendLineTo(menu, menuHeaderLine());
      siteFiles_.insert(std::string(kMenuPageName));
    }
    if (!NewSectionPending) return;
    appendLineTo(menu, menuLine(SectionName));
    NewSectionPending = false;
    for (std::string_view name : kTemplateNames) {
      replaceFileWith(joinPath(request_.siteFolder, name), templateText(name));
      siteFiles_.insert(std::string(name));
    }
  }

  const std::string& templateText(std::string_view name) {
    auto found = templates_.find(std::string(name));
    if (found == templates_.end()) {
      const std::filesystem::path path = joinPath(request_.programFolder, name);
      std::string text;
      try {
        text = readWholeFile(path, kMaxTemplateBytes);
      } catch (const SiteError& missing) {
        throw SiteError("Не найдена страница шаблона", path, missing.reason());
      }
      found = templates_.emplace(std::string(name), std::move(text)).first;
    }
    return found->second;
  }

  const RunRequest& request_;
  RunReport report_;
  std::set<std::string> siteFiles_;
  std::unordered_map<std::string, std::string> templates_;
  std::int64_t done_ = 0;
  std::int64_t total_ = 0;
};

std::string countText(std::int64_t count) { return " " + std::to_string(count); }

}  // namespace

RunReport runConversion(const RunRequest& request) { return ConversionRun(request).run(); }

std::vector<std::string> statisticsLines(const RunReport& report) {
  std::vector<std::string> lines = {
      "Было конвертировано :" + countText(report.ConvertedCount) + " ссылок.",
      "Создано новых :" + countText(report.NewSectionCount) + " разделов.",
      "Кол. во повторов ссылок :" + countText(report.RepeatCount) + " .",
  };
  std::int64_t shortcuts = 0;
  std::int64_t sections = 0;
  for (const SkippedShortcut& skipped : report.skipped) ++(skipped.name.empty() ? sections : shortcuts);
  if (shortcuts > 0) lines.push_back("Пропущено ярлыков :" + countText(shortcuts));
  if (sections > 0) lines.push_back("Пропущено разделов :" + countText(sections));
  std::size_t named = 0;
  for (const SkippedShortcut& skipped : report.skipped) {
    if (named++ == kMaxSkippedNamed) break;
    lines.push_back(skipped.name.empty() ? skipped.section + " : " + skipped.reason
                                         : skipped.section + " / " + skipped.name + " : " + skipped.reason);
  }
  if (report.skipped.size() > kMaxSkippedNamed) {
    lines.push_back("... и ещё" + countText(static_cast<std::int64_t>(report.skipped.size() - kMaxSkippedNamed)) + " .");
  }
  if (report.stopped) lines.push_back("Преобразование остановлено.");
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

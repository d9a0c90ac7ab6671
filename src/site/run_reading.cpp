// SPDX-License-Identifier: MIT
#include "run_reading.h"

#include <unordered_set>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/files.h"
#include "page_format.h"
#include "shortcut_reader.h"
#include "text_encoding.h"

namespace trevanto::site {
namespace {

constexpr std::size_t kMaxFileNameBytes = base::kMaxNameBytes;

std::string problemOf(const ShortcutFile& file) {
  switch (file.problem) {
    case base::ReadProblem::NotRegularFile:
      return "не обычный файл";
    case base::ReadProblem::TooLarge:
      return "файл больше 1 МиБ";
    case base::ReadProblem::Unreadable:
      return "не читается: " + file.reason();
    case base::ReadProblem::None:
      break;
  }
  return {};
}

// An old link that is the address of a shortcut of the section belongs to that shortcut.
void dropOldLinksThatAreAddresses(SectionShortcuts& read) {
  if (read.oldLinks.empty()) return;
  std::unordered_set<std::string_view> oldLinks;
  for (const auto& [position, text] : read.oldLinks) oldLinks.insert(text);
  std::unordered_set<std::string_view> taken;
  for (const Shortcut& shortcut : read.list) {
    if (oldLinks.contains(shortcut.address)) taken.insert(shortcut.address);
  }
  std::erase_if(read.oldLinks, [&taken](const auto& entry) { return taken.contains(entry.second); });
}

}  // namespace

std::vector<Section> RunReading::gatherSections() {
  std::vector<Section> sections;
  std::vector<std::string> names = base::listSubfolders(sourceFolder_, base::DotFolders::Listed);
  std::vector<std::filesystem::path> folders;
  for (const std::string& name : names) {
    if (sectionNameProblem(name).empty()) folders.push_back(base::joinPath(sourceFolder_, name));
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
  prefetch_.emplace(readingPlan(sections));
  return sections;
}

// Every shortcut file the run will read, in the order it reads them, so that reads run ahead.
ReadingPlan RunReading::readingPlan(const std::vector<Section>& sections) const {
  ReadingPlan plan;
  for (const Section& section : sections) {
    plan.addFolder(base::joinPath(sourceFolder_, section.SectionName));
    for (const base::FolderEntry& entry : section.entries) {
      if (!entry.isFolder) plan.addFile(entry.name);
    }
  }
  return plan;
}

// A section whose page would be one of the site's own pages, or a name too long for a
// page, is passed over: writing it would destroy another page or fail the whole run.
std::string RunReading::sectionNameProblem(const std::string& name) {
  const std::string page = name + std::string(kPageSuffix);
  if (page == kMenuPageName) return "имя раздела совпадает с именем страницы меню";
  for (std::string_view templateName : kTemplateNames) {
    if (page == templateName) return "имя раздела совпадает с именем страницы шаблона";
  }
  if (page.size() > kMaxFileNameBytes) return "имя раздела слишком длинное для имени страницы";
  return {};
}

void RunReading::skipSection(const std::string& rawName, std::string reason) {
  skipped_.push_back({base::displayName(rawName), {}, std::move(reason)});
}

SectionShortcuts RunReading::readShortcuts(Section& section, const PageLinkIndex& pageBeforeRun, bool pageExisted) {
  const std::filesystem::path folder = base::joinPath(sourceFolder_, section.SectionName);
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

}  // namespace trevanto::site

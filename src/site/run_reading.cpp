// SPDX-License-Identifier: MIT
#include "run_reading.h"

#include <unordered_set>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/files.h"
#include "page_format.h"
#include "section_names.h"
#include "shortcut_listing.h"
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

// A folder's path from the source folder as the user reads it, each name as displayName gives it.
std::string displayPath(std::string_view folder) {
  std::string shown;
  for (std::size_t start = 0;;) {
    const std::size_t slash = std::min(folder.find('/', start), folder.size());
    if (start > 0) shown += '/';
    shown += base::displayName(folder.substr(start, slash - start));
    if (slash == folder.size()) return shown;
    start = slash + 1;
  }
}

}  // namespace

std::vector<Section> RunReading::gatherSections() {
  std::vector<Section> sections;
  std::vector<std::string> names;
  for (base::FolderEntry& entry : base::listFolder(sourceFolder_, base::DotFolders::Listed)) {
    if (entry.isFolder) {
      names.push_back(std::move(entry.name));
    } else if (isShortcutName(entry.name)) {
      ++report_.shortcutsInSourceFolder;
    }
  }
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
    SectionListing listing;
    try {
      listing = listings.take();
    } catch (const base::FileError& unreadable) {
      skipSection(name, "папка не читается: " + unreadable.reason());
      continue;
    }
    Section section{name, std::move(name), std::move(listing.shortcuts)};
    total_ += static_cast<std::int64_t>(section.entries.size());
    sections.push_back(std::move(section));
    if (listing.subfolders.empty()) continue;
    if (nestedSections_) {
      gatherDeeperSections(sections.back(), std::move(listing.subfolders), sections);
    } else {
      countUnvisited(sections.back().folder, listing.subfolders);
    }
  }
  prefetch_.emplace(readingPlan(sections));
  return sections;
}

std::vector<RunReading::Below> RunReading::below(const Below& parent, const std::vector<std::string>& subfolders) {
  std::vector<Below> children;
  // In reverse, so that the walk, taking from the back, visits them in name order.
  for (auto name = subfolders.rbegin(); name != subfolders.rend(); ++name) {
    Below child{parent.folder + '/' + *name, parent.joined};
    appendFolderTitle(child.joined, base::fileNameToUtf8(*name));
    children.push_back(std::move(child));
  }
  return children;
}

// A folder reached again (through a link or a junction back up) is known by the file it is,
// which every system tells alike; a path's canonical spelling is not resolved alike everywhere
// (links followed on Linux, left as they are by the Windows library), and a walk that misses a
// way back up never ends.
bool RunReading::firstVisit(const std::string& folder) {
  std::error_code error;
  if (visited_.empty()) {
    if (const auto source = base::fileIdentity(sourceFolder_, error)) visited_.insert(*source);
  }
  const auto identity = base::fileIdentity(base::joinPath(sourceFolder_, folder), error);
  return !identity || visited_.insert(*identity).second;
}

void RunReading::gatherDeeperSections(const Section& top, std::vector<std::string> subfolders,
                                      std::vector<Section>& sections) {
  Below start{top.folder, {}};
  appendFolderTitle(start.joined, base::fileNameToUtf8(top.folder));
  firstVisit(top.folder);
  std::vector<Below> walk = below(start, subfolders);
  while (!walk.empty()) {
    Below here = std::move(walk.back());
    walk.pop_back();
    if (!firstVisit(here.folder)) continue;
    std::string name = sectionNameOfJoined(here.joined, kDefaultSection);
    SectionListing listing;
    try {
      listing = listSection(base::joinPath(sourceFolder_, here.folder));
    } catch (const base::FileError& unreadable) {
      skipSection(here.folder, "папка не читается: " + unreadable.reason());
      continue;
    }
    if (const std::string reason = sectionNameProblem(name); !reason.empty()) {
      skipSection(here.folder, reason);
    } else {
      total_ += static_cast<std::int64_t>(listing.shortcuts.size());
      sections.push_back(Section{std::move(name), here.folder, std::move(listing.shortcuts)});
    }
    for (Below& child : below(here, listing.subfolders)) walk.push_back(std::move(child));
  }
}

void RunReading::countUnvisited(const std::string& top, const std::vector<std::string>& subfolders) {
  firstVisit(top);
  for (const std::string& subfolder : subfolders) {
    UnvisitedFolder unvisited{displayPath(top + '/' + subfolder), 0};
    std::vector<Below> walk{{top + '/' + subfolder, {}}};
    while (!walk.empty()) {
      Below here = std::move(walk.back());
      walk.pop_back();
      if (!firstVisit(here.folder)) continue;
      SectionListing listing;
      try {
        listing = listSection(base::joinPath(sourceFolder_, here.folder));
      } catch (const base::FileError&) {
        continue;  // what cannot be listed cannot be counted; the folder is named all the same
      }
      for (const base::FolderEntry& entry : listing.shortcuts) unvisited.shortcuts += entry.isFolder ? 0 : 1;
      for (const std::string& name : listing.subfolders) walk.push_back({here.folder + '/' + name, {}});
    }
    if (unvisited.shortcuts > 0) report_.unvisited.push_back(std::move(unvisited));
  }
}

// Every shortcut file the run will read, in the order it reads them, so that reads run ahead.
ReadingPlan RunReading::readingPlan(const std::vector<Section>& sections) const {
  ReadingPlan plan;
  for (const Section& section : sections) {
    plan.addFolder(base::joinPath(sourceFolder_, section.folder));
    for (const base::FolderEntry& entry : section.entries) {
      if (!entry.isFolder) plan.addFile(entry.name);
    }
  }
  return plan;
}

// A section whose page would be one of the site's own pages, also in another letter case (one
// file on a disk that ignores case, and "index.html" the page a web server shows for the
// folder), or a name too long for a page, is passed over: writing it would shadow or destroy
// another page or fail the whole run. A page an earlier run wrote under such a name stays.
std::string RunReading::sectionNameProblem(const std::string& name) {
  const std::string page = name + std::string(kPageSuffix);
  if (isOwnPageName(page, LetterCase::Any)) {
    return base::equalsIgnoringAsciiCase(page, kMenuPageName) ? "имя раздела совпадает с именем страницы меню"
                                                              : "имя раздела совпадает с именем страницы шаблона";
  }
  if (page.size() > kMaxFileNameBytes) return "имя раздела слишком длинное для имени страницы";
  return {};
}

void RunReading::skipSection(const std::string& rawName, std::string reason) {
  skipped_.push_back({displayPath(rawName), {}, std::move(reason)});
}

SectionShortcuts RunReading::readShortcuts(Section& section, const PageLinkIndex& pageBeforeRun, bool pageExisted) {
  const std::filesystem::path folder = base::joinPath(sourceFolder_, section.folder);
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

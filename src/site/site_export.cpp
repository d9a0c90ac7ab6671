// SPDX-License-Identifier: MIT
#include "site_export.h"

#include <algorithm>
#include <set>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/files.h"
#include "base/folder_order.h"
#include "base/text.h"
#include "base/whole_files.h"
#include "export_duplicates.h"
#include "export_sections.h"
#include "export_stamp.h"
#include "export_views.h"
#include "page_format.h"
#include "run_sync.h"
#include "shortcut_reader.h"
#include "site_files.h"
#include "text_encoding.h"

namespace trevanto::site {
namespace {

constexpr std::string_view kLinkStart = "<a href=\"";
constexpr std::string_view kLinkTarget = "\" target=index>";
constexpr std::string_view kLinkEnd = "</a><br>";
constexpr std::string_view kMenuTarget = "target=Frame3>";
constexpr std::string_view kMenuEnd = "</a><br />";
constexpr std::size_t kMaxMenuLineBytes = 64 * 1024;
constexpr std::size_t kMaxScriptBytes = 1024 * 1024;
constexpr std::size_t kMaxLinkHealthBytes = 256 * 1024 * 1024;
// Raised whenever the export files change in what they hold or in number: an export of another
// format, or written by another version of the program, is rebuilt.
constexpr int kExportFormat = 3;

std::string exportFormat() { return std::to_string(kExportFormat) + " " + TREVANTO_VERSION; }

std::string_view withoutCarriageReturn(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

// Calls onLine(line, cut) for every line of the file, without its line feed; a line longer than
// maxLine comes cut to its first maxLine bytes. Memory stays within maxLine and one chunk.
template <typename OnLine>
void forEachLine(const std::filesystem::path& path, std::size_t maxLine, OnLine onLine) {
  std::error_code error;
  base::OpenFile file = base::OpenFile::toRead(path, error);
  base::throwIfFailed(error, "Не удалось открыть страницу", path);
  std::string line;
  bool cut = false;
  for (;;) {
    const base::ReadChunk chunk = file.read(64 * 1024);
    base::throwIfFailed(chunk.error, "Не удалось прочитать страницу", path);
    if (chunk.bytes.empty()) break;
    std::string_view rest = chunk.bytes;
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      const std::string_view piece = rest.substr(0, end);
      const std::size_t room = maxLine - line.size();
      if (piece.size() > room) cut = true;
      line.append(piece.substr(0, std::min(room, piece.size())));
      if (end == std::string_view::npos) break;
      onLine(std::string_view(line), cut);
      line.clear();
      cut = false;
      rest.remove_prefix(end + 1);
    }
  }
  if (!line.empty() || cut) onLine(std::string_view(line), cut);
}

// Control characters (C0, DEL and C1) as blanks: a name stays on one line of the bookmark file.
std::string withoutControls(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (b < 0x20 || b == 0x7F) {
      out.push_back(' ');
    } else if (b == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080..U+009F
      out.push_back(' ');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// The href as a browser follows it: its character references decoded ("?a=1&amp;b=2" is
// "?a=1&b=2"), then tabs and line breaks dropped anywhere, blanks and control characters at
// either end.
std::string addressFromPage(std::string_view href) {
  const std::string decoded = pageTextToUtf8(href);
  std::string kept;
  kept.reserve(decoded.size());
  for (char c : decoded) {
    if (c != '\t' && c != '\r' && c != '\n') kept.push_back(c);
  }
  std::string_view trimmed = kept;
  while (!trimmed.empty() && static_cast<unsigned char>(trimmed.front()) <= 0x20) trimmed.remove_prefix(1);
  while (!trimmed.empty() && static_cast<unsigned char>(trimmed.back()) <= 0x20) trimmed.remove_suffix(1);
  return addressForPage(trimmed);
}

// The page of a menu reference: as the current version writes it, percent-encoded, or as
// earlier versions wrote it, the name as it is.
std::string pageOfReference(const std::filesystem::path& siteFolder, std::string_view reference) {
  for (const std::string& name : {base::percentDecoded(reference), std::string(reference)}) {
    if (isSectionPageName(name) && base::isRegularFile(base::joinPath(siteFolder, name))) return name;
  }
  return {};
}

// The bookmark file: a folder per section, a bookmark per link, one to a line, as browsers
// write and read it.
class BookmarkFile {
 public:
  explicit BookmarkFile(const std::filesystem::path& path) : file_(path) {
    file_.write(
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
        "<!-- The links of the site's pages, rewritten whenever they change: changes made here are lost. -->\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
        "<TITLE>\xD0\x97\xD0\xB0\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xB4\xD0\xBA\xD0\xB8</TITLE>\n"
        "<H1>\xD0\x97\xD0\xB0\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xB4\xD0\xBA\xD0\xB8</H1>\n"
        "<DL><p>\n");
  }
  void beginSection(std::string_view name) {
    file_.write("    <DT><H3>" + htmlTextUtf8(name) + "</H3>\n    <DL><p>\n");
  }
  void link(const PageLink& link) {
    file_.write("        <DT><A HREF=\"" + htmlTextUtf8(link.address) + "\">" + htmlTextUtf8(link.name) + "</A>\n");
  }
  void endSection() { file_.write("    </DL><p>\n"); }
  void commit() {
    file_.write("</DL><p>\n");
    file_.commit();
  }

 private:
  base::FileReplacement file_;
};

// The temporary files an export killed before its renames left behind; the run holds the lock.
void removeLeftovers(const std::filesystem::path& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    const std::string name = entry.path().filename().string();
    for (std::string_view file : {kBookmarksFileName, kSearchDataFileName, kSearchScriptName, kExportStampName,
                                  kDuplicatesPageName, kDuplicatesScriptName}) {
      if (base::isTemporaryFileFor(name, file)) base::removeFile(entry.path());
    }
    if (isExportViewsLeftover(name)) base::removeFile(entry.path());
  }
}

// A file the export copies or fills from the program folder.
std::string readTemplate(const std::filesystem::path& programFolder, std::string_view name) {
  const std::filesystem::path path = base::joinPath(programFolder, name);
  try {
    return base::readWholeFile(path, kMaxScriptBytes);
  } catch (const base::FileError& missing) {
    throw base::FileError("Не найден шаблон", path, missing.reason());
  }
}

// export/link-health.js as the link check wrote it, when it is there: empty when it cannot be
// read (the pages still ask for it; collection.html then goes without the marks).
std::optional<std::string> linkHealthScript(const std::filesystem::path& exportFolder) {
  const std::filesystem::path path = base::joinPath(exportFolder, kLinkHealthScriptName);
  if (!base::isRegularFile(path)) return std::nullopt;
  try {
    return base::readWholeFile(path, kMaxLinkHealthBytes);
  } catch (const base::FileError&) {
    return std::string();
  }
}

}  // namespace

void LinkLineReader::readLine(std::string_view line, bool cut) {
  if (cut) {  // no link line of the program's: it ends the one still open, if any
    held_.clear();
    heldBytes_ = 0;
    return;
  }
  if (held_.empty() && !line.starts_with(kLinkStart)) return;
  held_.emplace_back(line);
  heldBytes_ += line.size() + 1;
  resolve();
}

void LinkLineReader::resolve() {
  // The href runs to the first quote after <a href=". Lines held before the newest hold none,
  // so none of them begins a link line of its own either.
  const std::string& newest = held_.back();
  const std::size_t quote = newest.find('"', held_.size() == 1 ? kLinkStart.size() : 0);
  if (quote == std::string::npos) {
    if (heldBytes_ > kMaxLinkLineBytes) finish();
    return;
  }
  const std::string_view rest = withoutCarriageReturn(std::string_view(newest).substr(quote));
  if (rest.starts_with(kLinkTarget) && rest.size() >= kLinkTarget.size() + kLinkEnd.size() &&
      rest.ends_with(kLinkEnd)) {
    std::string href = held_.front().substr(kLinkStart.size());
    for (std::size_t i = 1; i < held_.size(); ++i) (href += '\n') += held_[i];
    href.resize(href.size() - (newest.size() - quote));
    const std::string_view name = rest.substr(kLinkTarget.size(), rest.size() - kLinkTarget.size() - kLinkEnd.size());
    PageLink link{withoutControls(pageTextToUtf8(name)), addressFromPage(href)};
    if (!link.address.empty() && !isUnsafeAddress(href)) onLink_(link);
    finish();
    return;
  }
  // Not a link line; the newest line may still begin one.
  std::string again = held_.size() > 1 ? std::move(held_.back()) : std::string();
  finish();
  if (!again.empty()) readLine(again);
}

void LinkLineReader::finish() {
  held_.clear();
  heldBytes_ = 0;
}

void readLinkLines(const std::filesystem::path& page, const std::function<void(const PageLink&)>& onLink) {
  LinkLineReader reader(onLink);
  forEachLine(page, LinkLineReader::kMaxLinkLineBytes,
              [&reader](std::string_view line, bool cut) { reader.readLine(line, cut); });
  reader.finish();
}

std::vector<MenuSection> menuSections(const std::filesystem::path& siteFolder) {
  std::vector<MenuSection> sections;
  const std::filesystem::path menu = base::joinPath(siteFolder, kMenuPageName);
  if (!base::isRegularFile(menu)) return sections;
  std::set<std::string, std::less<>> seen;
  forEachLine(menu, kMaxMenuLineBytes, [&](std::string_view line, bool cut) {
    line = withoutCarriageReturn(line);
    if (cut || !line.starts_with(kLinkStart) || !line.ends_with(kMenuEnd)) return;
    const std::size_t quote = line.find('"', kLinkStart.size());
    if (quote == std::string_view::npos) return;
    std::size_t target = quote + 1;
    while (target < line.size() && line[target] == ' ') ++target;
    if (line.substr(target, kMenuTarget.size()) != kMenuTarget) return;
    const std::size_t nameStart = target + kMenuTarget.size();
    if (nameStart + kMenuEnd.size() > line.size()) return;
    std::string pageName = pageOfReference(siteFolder, line.substr(kLinkStart.size(), quote - kLinkStart.size()));
    if (pageName.empty() || seen.contains(pageName)) return;
    seen.insert(pageName);
    std::string name =
        withoutControls(pageTextToUtf8(line.substr(nameStart, line.size() - kMenuEnd.size() - nameStart)));
    if (name.empty())
      name = base::fileNameToUtf8(std::string_view(pageName).substr(0, pageName.size() - kPageSuffix.size()));
    sections.push_back({std::move(name), std::move(pageName)});
  });
  return sections;
}

ExportResult writeSiteExport(const std::filesystem::path& siteFolder, const std::filesystem::path& programFolder) {
  const std::filesystem::path folder = base::joinPath(siteFolder, kExportFolderName);
  ExportResult result;
  try {
    std::error_code error;
    const std::optional<base::FileStatus> status = base::fileStatus(folder, error);
    const bool folderExists = status.has_value();
    if (!folderExists && error != std::errc::no_such_file_or_directory)
      base::throwIfFailed(error, "Папка экспорта недоступна", folder);
    if (folderExists && status->kind != base::FileKind::Folder) {
      throw base::FileError("Папка экспорта занята файлом", folder, "это файл, а не папка");
    }
    if (!folderExists && !base::isRegularFile(base::joinPath(siteFolder, kMenuPageName))) return result;

    const std::string script = readTemplate(programFolder, kSearchScriptName);
    const std::string pageTemplate = readTemplate(programFolder, kIndexPageTemplateName);
    if (!folderExists) {
      if (error = base::makeFolder(folder); error != std::errc::file_exists)
        base::throwIfFailed(error, "Не удалось создать папку экспорта", folder);
    }

    removeLeftovers(folder);
    // Taken before any page is read: a page changed meanwhile is read again by the next run.
    std::vector<FileState> pagesNow = sitePageStates(siteFolder);
    // The link check's marks, which the pages ask for only when the export found them and
    // collection.html holds: a check that wrote them has the next run rebuild the export.
    if (std::optional<FileState> health = fileState(folder, kLinkHealthScriptName)) {
      health->name = std::string(kExportFolderName) + "/" + health->name;
      pagesNow.push_back(std::move(*health));
    }
    if (folderExists && exportMatchesStamp(folder, exportFormat(), pagesNow) &&
        base::fileHolds(base::joinPath(folder, kSearchScriptName), script) &&
        pageFollowsTemplate(folder, pageTemplate)) {
      return result;  // nothing changed since the export was written: nothing is written
    }
    BookmarkFile bookmarks(base::joinPath(folder, kBookmarksFileName));
    ExportViews views(folder, pageTemplate, script, linkHealthScript(folder));
    DuplicateFinder duplicates;
    for (const MenuSection& section : sectionsOfSite(siteFolder)) {
      ++result.sections;
      bookmarks.beginSection(section.name);
      views.beginSection(section);
      duplicates.beginSection(section);
      readLinkLines(base::joinPath(siteFolder, section.pageName), [&](const PageLink& link) {
        ++result.links;
        bookmarks.link(link);
        views.link(link);
        duplicates.link(link);
      });
      bookmarks.endSection();
      views.endSection();
    }
    base::makeFileHold(base::joinPath(folder, kSearchScriptName), script);
    duplicates.writePage(base::joinPath(folder, kDuplicatesPageName));
    duplicates.writeScript(base::joinPath(folder, kDuplicatesScriptName));
    views.commit();
    bookmarks.commit();
    result.duplicates = duplicates.count();
    std::vector<std::string_view> written = {kBookmarksFileName, kSearchDataFileName, kSearchScriptName,
                                             kDuplicatesPageName, kDuplicatesScriptName};
    const std::vector<std::string> viewFiles = views.files();
    written.insert(written.end(), viewFiles.begin(), viewFiles.end());
    writeExportStamp(folder, exportFormat(), pagesNow, written);
    base::syncFolder(folder);  // the renames, as the files were synced before them
    if (!folderExists) base::syncFolder(siteFolder);
    result.written = true;
  } catch (const base::FileError& problem) {
    return {.problem = problem.what()};
  }
  return result;
}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
#include "importer.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/files.h"
#include "base/text.h"
#include "formats.h"
#include "reader_registry.h"
#include "shortcut_writer.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"

namespace trevanto::import {
namespace {

// A bookmark read and checked, waiting to be written.
struct Pending {
  std::uint32_t section = 0;  // index into Collector::sections
  std::string baseName;       // the shortcut's safe file name less ".url"
  std::string address;        // a shortcutAddress
  std::int64_t added = 0;     // when the bookmark was saved, seconds since 1970; 0: not known
};

// A date a source gives, in seconds since 1970, or 0 when it is none a bookmark can have: some
// exporters write milliseconds or microseconds where seconds belong, and a date in the future
// is a broken clock's.
std::int64_t plausibleDate(std::int64_t value) {
  if (value > 100'000'000'000'000) value /= 1'000'000;
  else if (value > 100'000'000'000) value /= 1000;
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  return value > 0 && value <= now + 86400 ? value : 0;
}

// Gathers the bookmarks of every input, deciding each one's section and file name as it comes.
class Collector : public BookmarkSink {
 public:
  explicit Collector(std::string namedSection) : namedSection_(std::move(namedSection)) { startInput(); }

  // The section name is made from the joined titles once per folder, from its parent's joined
  // titles and its own: at any depth a folder costs the same.
  // Titles come as the source holds them: made UTF-8 here, once for every reader.
  void beginFolder(std::string_view title) override {
    std::string joined = levels_.back().joined;
    appendFolderTitle(joined, titleAsUtf8(title));
    const std::uint32_t section = sectionOf(joined);
    levels_.push_back({std::move(joined), section});
    current_ = section;
  }
  void endFolder() override {
    if (levels_.size() > 1) levels_.pop_back();
    current_ = levels_.back().section;
  }
  void bookmark(std::string_view title, std::string_view rawAddress) override { datedBookmark(title, rawAddress, 0); }
  void datedBookmark(std::string_view title, std::string_view rawAddress, std::int64_t added) override {
    std::string address = shortcutAddress(rawAddress);
    std::string baseName = shortcutBaseName(titleAsUtf8(title), address);
    const std::string text = shortcutText(address);
    // The address as the converter will read it from the shortcut.
    const std::string converterAddress = site::readShortcutAddress(text);
    if (converterAddress.empty()) return skip(baseName, "нет адреса");
    // The converter would refuse the shortcut, and every later import would write it again.
    if (text.size() > site::kMaxShortcutBytes) return skip(baseName, "адрес длиннее 1 МиБ");
    if (site::schemeAsRead(converterAddress) == "place")
      return skip(baseName, "умная папка или запрос (place:)");
    if (site::isUnsafeAddress(converterAddress)) return skip(baseName, "небезопасный адрес (запускает код)");
    bookmarks.push_back({current_, std::move(baseName), std::move(address), plausibleDate(added)});
  }
  void skipped(std::string_view title, std::string_view reason) override {
    skip(safeName(titleAsUtf8(title)), std::string(reason));
  }
  void passedOver() override { ++report.passedOver; }

  // Forgets a partly read input's folders, so the next input starts at its top level.
  void startInput() {
    levels_.clear();
    levels_.push_back({{}, sectionOf({})});
    current_ = levels_.back().section;
  }

  std::vector<std::string> sections;
  std::vector<Pending> bookmarks;
  ImportReport report;

 private:
  void skip(const std::string& name, std::string reason) {
    report.skipped.push_back({sections[current_], name, std::move(reason)});
  }
  std::uint32_t sectionOf(const std::string& joined) {
    std::string name = sectionNameOfJoined(joined, namedSection_);
    const auto [found, added] = sectionIds_.emplace(std::move(name), static_cast<std::uint32_t>(sections.size()));
    if (added) sections.push_back(found->first);
    return found->second;
  }

  struct Level {
    std::string joined;  // the safe titles of the open folders, joined, cut at kJoinedBytes
    std::uint32_t section = 0;
  };

  std::string namedSection_;
  std::vector<Level> levels_;  // the top level of the input, then one per open folder
  std::unordered_map<std::string, std::uint32_t> sectionIds_;
  std::uint32_t current_ = 0;
};

}  // namespace

void readBookmarkInput(const std::filesystem::path& input, BookmarkSink& collector) {
  std::error_code error;
  base::OpenFile file = base::OpenFile::toRead(input, error);
  base::throwIfFailed(error, "Не удалось прочитать", input);
  const base::FileStatus status = file.status(error).value_or(base::FileStatus{});
  base::throwIfFailed(error, "Не удалось прочитать", input);
  if (status.kind == base::FileKind::Folder) return readLinkFolder(input, collector);
  if (status.kind != base::FileKind::Regular)
    throw base::FileError("Не удалось прочитать", input, "не обычный файл и не папка");
  const base::ReadChunk head = file.read(kHeadBytes);
  base::throwIfFailed(head.error, "Не удалось прочитать", input);
  for (const auto& reader : fileReaders()) {
    if (reader->recognises(head.bytes)) return reader->read(input, collector);
  }
  throw base::FileError("Неизвестный вид закладок", input, noKnownKindReason());
}

bool collectionHoldsSections(const std::filesystem::path& collection) {
  std::error_code error;
  const base::OpenFolder folder = base::OpenFolder::open(collection, error);
  if (error) return false;
  const std::vector<base::FolderEntry> entries = folder.entries(error);
  return !error && std::any_of(entries.begin(), entries.end(), [](const base::FolderEntry& entry) { return entry.isFolder; });
}

ImportReport runImport(const ImportRequest& request) {
  std::string named = safeName(request.namedSection);
  if (named.empty()) named = kDefaultSection;
  Collector collector(sectionName({}, named));
  try {
    for (const std::filesystem::path& input : request.inputs) {
      collector.startInput();
      readBookmarkInput(input, collector);
    }
  } catch (const std::exception& failure) {
    collector.report.error = failure.what();
    return std::move(collector.report);
  }
  for (const ProfileInput& profile : request.profiles) {
    if (!profile.problem.empty()) {
      collector.report.unreadProfiles.push_back(profile.label + ": " + profile.problem);
      continue;
    }
    // What a profile that fails half-way gave is taken back: it is passed over whole.
    const std::size_t bookmarks = collector.bookmarks.size();
    const std::size_t skipped = collector.report.skipped.size();
    try {
      collector.startInput();
      readBookmarkInput(profile.file, collector);
    } catch (const std::exception& failure) {
      collector.bookmarks.resize(bookmarks);
      collector.report.skipped.resize(skipped);
      collector.report.unreadProfiles.push_back(profile.label + ": " + failure.what());
    }
  }

  ImportReport& report = collector.report;
  try {
    CollectionWriter writer(request.collection, request.createCollection);
    const auto total = static_cast<std::int64_t>(collector.bookmarks.size());
    for (Pending& bookmark : collector.bookmarks) {
      if (request.progress) request.progress(report.added + report.alreadyThere, total);
      const auto outcome = writer.add(collector.sections[bookmark.section], bookmark.baseName, bookmark.address,
                                      bookmark.added);
      ++(outcome == AddOutcome::Added ? report.added : report.alreadyThere);
      bookmark = {};  // its memory is no longer needed
    }
  } catch (const std::exception& failure) {
    report.error = failure.what();
  }
  return std::move(report);
}

std::vector<std::string> importStatisticsLines(const ImportReport& report) {
  std::vector<std::string> lines = {
      "Добавлено ярлыков :" + base::countText(report.added),
      "Уже были :" + base::countText(report.alreadyThere),
  };
  if (!report.skipped.empty()) {
    lines.push_back("Пропущено :" + base::countText(static_cast<std::int64_t>(report.skipped.size())));
    base::appendNamedEntries(lines, report.skipped.size(), [&report](std::size_t i) {
      const SkippedBookmark& skipped = report.skipped[i];
      return skipped.section + " / " + skipped.title + " : " + skipped.reason;
    });
  }
  for (const std::string& profile : report.unreadProfiles) lines.push_back("Профиль не прочитан : " + profile);
  if (report.passedOver > 0) lines.push_back("Файлов другого вида пропущено :" + base::countText(report.passedOver));
  return lines;
}

}  // namespace trevanto::import

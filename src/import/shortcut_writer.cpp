// SPDX-License-Identifier: MIT
#include "shortcut_writer.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include "address/address_identity.h"
#include "base/charset.h"
#include "base/file_error.h"
#include "base/files.h"
#include "base/process.h"
#include "base/folder_order.h"
#include "base/text.h"
#include "safe_names.h"
#include "site/shortcut_listing.h"
#include "site/shortcut_reader.h"
#include "site/text_encoding.h"

namespace trevanto::import {
namespace {

bool isEdgeJunk(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// The temporary file of an import, ".trevanto-import-PID[-N].tmp": with the collection locked,
// one found is what a killed import left.
bool isImportLeftover(std::string_view name) {
  constexpr std::string_view kPrefix = ".trevanto-import-";
  constexpr std::string_view kSuffix = ".tmp";
  if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return false;
  const std::string_view middle = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  return !middle.empty() && middle.front() != '-' && middle.back() != '-' &&
         middle.find_first_not_of("0123456789-") == std::string_view::npos;
}

}  // namespace

std::string shortcutAddress(std::string_view address) {
  while (!address.empty() && isEdgeJunk(address.front())) address.remove_prefix(1);
  while (!address.empty() && isEdgeJunk(address.back())) address.remove_suffix(1);
  std::string out;
  out.reserve(address.size());
  for (char c : address) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\t' || c == '\r' || c == '\n') continue;
    if (b <= 0x20 || b >= 0x7F) {
      base::appendPercentEncoded(out, b);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string shortcutText(std::string_view shortcutAddress) {
  std::string text = "[InternetShortcut]\r\nURL=";
  text += shortcutAddress;
  text += "\r\n";
  return text;
}

std::string pageAddressOf(std::string_view shortcutFileBytes) {
  const std::string address = site::readShortcutAddress(shortcutFileBytes);
  return address.empty() ? std::string() : site::addressForPage(address);
}

CollectionWriter::CollectionWriter(const std::filesystem::path& collection, bool create) : collection_(collection) {
  std::error_code error;
  if (!create) {
    const std::optional<base::FileStatus> status = base::fileStatus(collection, error);
    base::throwIfFailed(error, "Папка ярлыков недоступна", collection);
    if (status->kind != base::FileKind::Folder) throw base::FileError("Папка ярлыков недоступна", collection, "не папка");
  }
  std::filesystem::create_directories(collection, error);
  if (error) throw base::FileError("Не удалось создать папку", collection, error.message());
  folder_ = base::OpenFolder::open(collection, error);
  base::throwIfFailed(error, "Не удалось открыть папку", collection);
  // One import at a time per collection: a second would find none of the first one's
  // shortcuts and write every bookmark again under a numbered name.
  error = folder_.tryLock();
  if (error == std::errc::resource_unavailable_try_again)
    throw base::FileError("Папка ярлыков занята", collection, "в неё уже добавляет закладки другой импорт");
  base::throwIfFailed(error, "Не удалось открыть папку", collection);
  // Names as the converter reads them: a folder named in Windows-1251 bytes is the section of
  // that name in UTF-8.
  for (base::FolderEntry& entry : base::listFolder(collection, base::DotFolders::Listed)) {
    std::string key = foldCase(base::fileNameToUtf8(entry.name));
    topNames_.emplace(std::move(key), TopEntry{std::move(entry.name), entry.isFolder});
  }
}

CollectionWriter::Section& CollectionWriter::section(std::string_view name) {
  const std::string key = foldCase(name);
  if (auto found = sections_.find(key); found != sections_.end()) return found->second;
  Section& made = sections_[key];
  // A folder whose name differs only in letter case is the same section; a file that takes
  // the name leaves the section a numbered name.
  std::string folderName(name);
  for (int number = 2;; ++number) {
    const auto taken = topNames_.find(foldCase(folderName));
    if (taken == topNames_.end() || taken->second.isFolder) break;
    folderName = withSuffix(name, " (" + std::to_string(number) + ")");
  }
  const auto existing = topNames_.find(foldCase(folderName));
  made.exists = existing != topNames_.end();
  made.name = made.exists ? existing->second.name : folderName;
  if (made.exists) {
    const std::filesystem::path folder = base::joinPath(collection_, made.name);
    for (const base::FolderEntry& entry : base::listFolder(folder, base::DotFolders::Listed)) {
      if (!entry.isFolder && isImportLeftover(entry.name)) {
        base::removeFile(base::joinPath(folder, entry.name));
        continue;
      }
      made.names.insert(foldCase(base::fileNameToUtf8(entry.name)));
      if (entry.isFolder || !site::isShortcutName(entry.name)) continue;
      const site::ShortcutFile file = site::loadShortcutFile(base::joinPath(folder, entry.name));
      if (file.problem != base::ReadProblem::None) continue;
      if (const std::string address = pageAddressOf(file.bytes); !address.empty())
        made.addresses.insert(address::addressIdentity(address));
    }
  }
  return made;
}

void CollectionWriter::openForWriting(Section& section) {
  if (section.folder) return;
  const std::filesystem::path folder = base::joinPath(collection_, section.name);
  if (!section.exists) {
    if (const std::error_code error = folder_.makeFolder(section.name); error != std::errc::file_exists)
      base::throwIfFailed(error, "Не удалось создать папку раздела", folder);
    section.exists = true;
    topNames_.emplace(foldCase(section.name), TopEntry{section.name, true});
  }
  std::error_code error;
  section.folder = folder_.openFolder(section.name, error);
  base::throwIfFailed(error, "Не удалось открыть папку раздела", folder);
}

bool CollectionWriter::writeNew(Section& section, const std::string& fileName, std::string_view bytes,
                                std::int64_t added) {
  const auto failIf = [&](const std::error_code& error) {
    base::throwIfFailed(error, "Не удалось записать ярлык",
                        base::joinPath(base::joinPath(collection_, section.name), fileName));
  };
  // One temporary name, used again for every shortcut: a new name for each costs the file
  // system far more than the write itself. Taken (by a run that was killed, say), another.
  base::OpenFile file;
  for (;;) {
    std::error_code error;
    file = section.folder.createNew(temporaryName(), error);
    if (file) break;
    if (error != std::errc::file_exists) failIf(error);
    ++temporaryCounter_;
    temporaryName_.clear();
  }
  const std::string& temporary = temporaryName_;
  std::error_code error = file.write(bytes);
  // When the bookmark was saved, so that a file manager sorts the collection by it; the name
  // it is renamed to keeps it.
  if (!error && added > 0) error = file.setModifiedTime(added);
  if (const std::error_code closeError = file.close(); !error) error = closeError;
  if (!error) error = section.folder.placeWithoutReplacing(temporary, fileName);
  if (error) section.folder.removeFile(temporary);
  if (error == std::errc::file_exists) return false;
  failIf(error);
  return true;
}

const std::string& CollectionWriter::temporaryName() {
  if (temporaryName_.empty()) {
    temporaryName_ = ".trevanto-import-";
    temporaryName_ += std::to_string(base::currentProcessId());
    if (temporaryCounter_ > 0) {
      temporaryName_ += '-';
      temporaryName_ += std::to_string(temporaryCounter_);
    }
    temporaryName_ += ".tmp";
  }
  return temporaryName_;
}

AddOutcome CollectionWriter::add(std::string_view sectionName, std::string_view baseName, std::string_view address,
                                std::int64_t added) {
  Section& target = section(sectionName);
  const std::string text = shortcutText(address);
  std::string identity = address::addressIdentity(pageAddressOf(text));
  if (target.addresses.contains(identity)) return AddOutcome::AlreadyThere;
  openForWriting(target);
  // The numbers below the last one given for this name are all taken: the search for a free
  // one goes on from there, so many bookmarks of one title cost no more than as many titles.
  const std::string baseKey = foldCase(baseName);
  int& number = target.lastNumber[baseKey];
  std::string name = number == 0 ? std::string(baseName) + ".url"
                                 : withSuffix(baseName, " (" + std::to_string(number) + ")") + ".url";
  for (;;) {
    std::string key = foldCase(name);
    if (!target.names.contains(key)) {
      if (writeNew(target, name, text, added)) {
        target.names.insert(std::move(key));
        break;
      }
      target.names.insert(std::move(key));  // something appeared under that name meanwhile
    }
    number = std::max(number, 1) + 1;
    name = withSuffix(baseName, " (" + std::to_string(number) + ")") + ".url";
  }
  target.addresses.insert(std::move(identity));
  return AddOutcome::Added;
}

}  // namespace trevanto::import

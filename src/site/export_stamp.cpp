// SPDX-License-Identifier: MIT
#include "export_stamp.h"

#include <charconv>

#include "base/file_error.h"
#include "base/files.h"
#include "base/folder_order.h"
#include "base/whole_files.h"
#include "export_sections.h"
#include "page_format.h"
#include "shortcut_listing.h"
#include "site_files.h"

namespace trevanto::site {
namespace {

constexpr std::string_view kStampHeading =
    "Trevanto: what export/ was built from. Delete this file and the next run rebuilds export/.";
constexpr std::size_t kMaxStampBytes = 64 * 1024 * 1024;

// A name as one word of plain text: every byte but ASCII letters, digits, '.', '-' and '_'
// percent-encoded, so a page's name never reads as markup wherever the stamp is shown.
std::string encodedName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    if (!plain) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> decodedName(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    unsigned value = 0;
    if (i + 2 >= text.size()) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
    if (error != std::errc() || end != text.data() + i + 3) return std::nullopt;
    out += static_cast<char>(value);
    i += 2;
  }
  return out;
}

std::string stateLine(std::string_view kind, const FileState& state) {
  return std::string(kind) + ' ' + std::to_string(state.size) + ' ' + std::to_string(state.inode) + ' ' +
         std::to_string(state.modifiedNs) + ' ' + std::to_string(state.changedNs) + ' ' + encodedName(state.name) +
         '\n';
}

template <typename Number>
bool readNumber(std::string_view& rest, Number& number) {
  const std::size_t blank = rest.find(' ');
  if (blank == std::string_view::npos) return false;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + blank, number);
  if (error != std::errc() || end != rest.data() + blank) return false;
  rest.remove_prefix(blank + 1);
  return true;
}

// "KIND SIZE INODE MODIFIED CHANGED NAME" after its kind.
std::optional<FileState> parseState(std::string_view rest) {
  FileState state;
  if (!readNumber(rest, state.size) || !readNumber(rest, state.inode) || !readNumber(rest, state.modifiedNs) ||
      !readNumber(rest, state.changedNs)) {
    return std::nullopt;
  }
  std::optional<std::string> name = decodedName(rest);
  if (!name || name->empty()) return std::nullopt;
  state.name = std::move(*name);
  return state;
}

}  // namespace

std::optional<FileState> fileState(const std::filesystem::path& folder, std::string_view name) {
  std::error_code error;
  const std::optional<base::FileStatus> status = base::fileStatus(base::joinPath(folder, name), error);
  if (!status) return std::nullopt;
  return FileState{std::string(name), status->size, status->fileNumber, status->modifiedNs, status->changedNs};
}

std::vector<FileState> sitePageStates(const std::filesystem::path& siteFolder) {
  std::vector<FileState> states;
  for (const std::string& name : listFiles(siteFolder, FilePattern::AllFiles)) {
    if (name != kMenuPageName && !isSectionPageName(name)) continue;
    if (std::optional<FileState> state = fileState(siteFolder, name)) states.push_back(std::move(*state));
  }
  return states;
}

std::optional<ExportStamp> readExportStamp(const std::filesystem::path& exportFolder) {
  std::string text;
  try {
    text = base::readWholeFile(base::joinPath(exportFolder, kExportStampName), kMaxStampBytes);
  } catch (const base::FileError&) {
    return std::nullopt;
  }
  ExportStamp stamp;
  std::string_view rest = text;
  bool headingSeen = false;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    if (!headingSeen) {
      if (line != kStampHeading) return std::nullopt;
      headingSeen = true;
    } else if (line.starts_with("format ")) {
      stamp.format = line.substr(7);
    } else if (line.starts_with("page ") || line.starts_with("file ")) {
      std::optional<FileState> state = parseState(line.substr(5));
      if (!state) return std::nullopt;
      (line.starts_with("page ") ? stamp.pages : stamp.files).push_back(std::move(*state));
    } else {
      return std::nullopt;
    }
  }
  if (stamp.format.empty() || stamp.files.empty()) return std::nullopt;
  return stamp;
}

bool exportMatchesStamp(const std::filesystem::path& exportFolder, std::string_view format,
                        const std::vector<FileState>& pagesNow) {
  const std::optional<ExportStamp> stamp = readExportStamp(exportFolder);
  if (!stamp || stamp->format != format || stamp->pages != pagesNow) return false;
  for (const FileState& written : stamp->files) {
    if (fileState(exportFolder, written.name) != written) return false;
  }
  return true;
}

void writeExportStamp(const std::filesystem::path& exportFolder, std::string_view format,
                      const std::vector<FileState>& pagesNow, const std::vector<std::string_view>& writtenFiles) {
  std::string text(kStampHeading);
  text += "\nformat ";
  text += format;
  text += '\n';
  for (const FileState& page : pagesNow) text += stateLine("page", page);
  for (std::string_view name : writtenFiles) {
    const std::optional<FileState> state = fileState(exportFolder, name);
    if (!state) {
      throw base::FileError("Не удалось записать файл", base::joinPath(exportFolder, name), base::systemReason(errno));
    }
    text += stateLine("file", *state);
  }
  base::replaceFileWith(base::joinPath(exportFolder, kExportStampName), text);
}

}  // namespace trevanto::site

// SPDX-License-Identifier: MIT
#include "page_search.h"

#include "base/file_error.h"
#include "base/files.h"

namespace trevanto::site {
namespace {

constexpr std::string_view kHrefOpen = "href=\"";

// A page read from its start in chunks.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::filesystem::path& path) : path_(path) {
    std::error_code error;
    file_ = base::OpenFile::toRead(path, error);
    base::throwIfFailed(error, "Не удалось открыть страницу", path_);
  }

  // The next size bytes; fewer only at the end of the page, none after it.
  std::string read(std::size_t size) {
    base::ReadChunk read = file_.read(size);
    base::throwIfFailed(read.error, "Не удалось прочитать страницу", path_);
    return std::move(read.bytes);
  }

 private:
  std::filesystem::path path_;
  base::OpenFile file_;
};

}  // namespace

bool PoiskKomb(const std::filesystem::path& NamePathS, std::string_view Dat, std::size_t chunkBytes) {
  if (chunkBytes == 0) chunkBytes = 1;
  ReadOnlyFile page(NamePathS);
  if (Dat.empty()) return false;
  const std::size_t carry = Dat.size() - 1;
  std::string window;
  for (;;) {
    const std::string chunk = page.read(chunkBytes);
    if (chunk.empty()) return true;
    window += chunk;
    if (window.find(Dat) != std::string::npos) return false;
    // Keep the tail that could still begin an occurrence.
    window.erase(0, window.size() - std::min(window.size(), carry));
  }
}

std::string hrefNeedle(std::string_view target) {
  std::string needle;
  needle.reserve(target.size() + kHrefOpen.size() + 1);
  needle += kHrefOpen;
  needle += target;
  needle += '"';
  return needle;
}

void PageLinkIndex::load(const std::filesystem::path& page, std::size_t chunkBytes) {
  page_ = page;
  targets_.clear();
  used_ = 0;
  complete_ = true;
  std::error_code missing;
  if (!std::filesystem::exists(page, missing)) return;

  if (chunkBytes == 0) chunkBytes = 1;
  ReadOnlyFile file(page);
  std::size_t matched = 0;
  bool collecting = false;
  std::string target;
  for (;;) {
    const std::string chunk = file.read(chunkBytes);
    if (chunk.empty()) break;
    for (const char c : chunk) {
      if (collecting && c == '"') {
        insert(target);
        target.clear();
        collecting = false;
      } else if (collecting && complete_) {
        target.push_back(c);
        if (target.size() > budget_) complete_ = false;
      }
      // Every href=" starts a target, even one inside another target: its own quote then
      // ends the one before.
      if (c == kHrefOpen[matched]) {
        if (++matched == kHrefOpen.size()) {
          collecting = true;
          matched = 0;
        }
      } else {
        matched = (c == kHrefOpen[0]) ? 1 : 0;
      }
    }
    if (!complete_) {
      targets_.clear();
      return;
    }
  }
  // An href=" left open at the end of the page can still be completed by a later write,
  // which the index would not see whole; let the page answer for itself from then on.
  if (collecting) complete_ = false;
  if (!complete_) targets_.clear();
}

void PageLinkIndex::add(std::string_view target) {
  // The quote written after a target that ends in href= opens one more target, which runs on
  // into whatever is written next; from then on only the page can answer.
  if (target.ends_with(kHrefOpen.substr(0, kHrefOpen.size() - 1)) || target.find('"') != std::string_view::npos) {
    complete_ = false;
    targets_.clear();
  }
  if (complete_) insert(target);
}

void PageLinkIndex::insert(std::string_view target) {
  if (!complete_) return;
  const auto [it, added] = targets_.emplace(target);
  if (added) used_ += target.size() + 64;  // the text and the set's own bookkeeping
  if (used_ > budget_) {
    complete_ = false;
    targets_.clear();
  }
}

bool PageLinkIndex::holdsLinkTo(std::string_view target) const {
  // A target holding '"' cannot be answered from the texts between quotes.
  if (complete_ && target.find('"') == std::string_view::npos) return targets_.contains(target);
  return !PoiskKomb(page_, hrefNeedle(target));
}

}  // namespace trevanto::site

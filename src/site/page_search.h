// SPDX-License-Identifier: MIT
// Finding a text in a page that may be far larger than memory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace trevanto::site {

inline constexpr std::size_t kDefaultSearchChunk = 64 * 1024;

// True when the page does not hold Dat, false when it does. Reads the page in chunks of
// chunkBytes, carrying the last Dat.size() - 1 bytes over, so it needs about 2 * chunkBytes + Dat.size()
// bytes of memory whatever the page's size. Throws base::FileError when the page cannot be read.
bool PoiskKomb(const std::filesystem::path& NamePathS, std::string_view Dat,
               std::size_t chunkBytes = kDefaultSearchChunk);

// The text that marks a link to target in a page: href="target".
std::string hrefNeedle(std::string_view target);

// The link targets of one section page: every text standing between href=" and the next
// double quote. Built by one pass over the page, then kept up to date as links are written.
// When the page holds more than the memory budget allows, the index gives up and every
// question goes to PoiskKomb, so the answer stays exact either way.
class PageLinkIndex {
 public:
  explicit PageLinkIndex(std::size_t memoryBudget = 32 * 1024 * 1024) : budget_(memoryBudget) {}

  // Reads the page; a missing page is an empty one. Throws base::FileError when it cannot be read.
  void load(const std::filesystem::path& page, std::size_t chunkBytes = kDefaultSearchChunk);
  // Records a target written to the page after load().
  void add(std::string_view target);
  // True when the page holds href="target" (with both quotes).
  bool holdsLinkTo(std::string_view target) const;
  bool complete() const { return complete_; }

 private:
  void insert(std::string_view target);

  std::filesystem::path page_;
  // Looked up by string_view without building a string for every question.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_set<std::string, TextHash, std::equal_to<>> targets_;
  std::size_t budget_;
  std::size_t used_ = 0;
  bool complete_ = true;
};

}  // namespace trevanto::site

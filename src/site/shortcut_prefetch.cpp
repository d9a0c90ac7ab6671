// SPDX-License-Identifier: MIT
#include "shortcut_prefetch.h"

#include <thread>
#include <utility>

#include "base/path_text.h"

namespace trevanto::site {

void ReadingPlan::addFolder(const std::filesystem::path& folder) {
  std::string prefix = folder.string();
  if (!prefix.empty() && prefix.back() != '/') prefix.push_back('/');
  folders_.push_back(std::move(prefix));
}

void ReadingPlan::addFile(std::string_view name) {
  names_ += name;
  files_.push_back({folders_.size() - 1, names_.size()});
}

std::string_view ReadingPlan::nameOf(std::size_t position) const {
  const std::size_t start = position == 0 ? 0 : files_[position - 1].nameEnd;
  return std::string_view(names_).substr(start, files_[position].nameEnd - start);
}

std::filesystem::path ReadingPlan::pathOf(std::size_t position) const {
  std::string path = folders_[files_[position].folder];
  path += nameOf(position);
  return base::pathOf(path);
}

bool ReadingPlan::isAt(std::size_t position, const std::filesystem::path& path) const {
  if (position >= files_.size()) return false;
  const auto& text = base::textView(path);
  const std::string_view wanted = text;
  const std::string_view folder = folders_[files_[position].folder];
  return wanted.starts_with(folder) && wanted.substr(folder.size()) == nameOf(position);
}

ShortcutPrefetch::ShortcutPrefetch(ReadingPlan plan, const base::ReadAheadOptions& options)
    : plan_(std::move(plan)),
      run_(std::this_thread::get_id()),
      reads_(
          plan_.size(),
          [this](std::size_t position) {
            // The run reading its own next file has its path at hand already.
            // (Readers never look at runPath_: the thread is asked first.)
            if (std::this_thread::get_id() == run_ && runPath_ != nullptr && position == reads_.next()) {
              return loadShortcutFile(*runPath_);
            }
            return loadShortcutFile(plan_.pathOf(position));
          },
          options) {}

ShortcutFile ShortcutPrefetch::take(const std::filesystem::path& path) {
  if (!plan_.isAt(reads_.next(), path)) return loadShortcutFile(path);
  runPath_ = &path;
  ShortcutFile file = reads_.take();
  runPath_ = nullptr;
  return file;
}

SectionListings::SectionListings(std::vector<std::filesystem::path> folders, const base::ReadAheadOptions& options)
    : folders_(std::move(folders)),
      listings_(
          folders_.size(), [this](std::size_t position) { return listSection(folders_[position]); }, options) {}

}  // namespace trevanto::site

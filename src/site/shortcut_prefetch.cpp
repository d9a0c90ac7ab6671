// SPDX-License-Identifier: MIT
#include "shortcut_prefetch.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <utility>

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
  return path;
}

bool ReadingPlan::isAt(std::size_t position, const std::filesystem::path& path) const {
  if (position >= files_.size()) return false;
  const std::string_view wanted = path.native();
  const std::string_view folder = folders_[files_[position].folder];
  return wanted.starts_with(folder) && wanted.substr(folder.size()) == nameOf(position);
}

namespace {

// Voluntary context switches of the calling thread so far, as last looked at. A slow read that
// raised them waited for a disk or a network; one that did not was only kept from a processor
// (a busy machine), and reading ahead would not help it.
thread_local long seenSwitches = 0;

long voluntarySwitches() {
  rusage usage{};
  ::getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

void lookAtSwitches() { seenSwitches = voluntarySwitches(); }

bool waitedSinceLastLook() {
  const long before = seenSwitches;
  lookAtSwitches();
  return seenSwitches > before;
}

}  // namespace

ShortcutPrefetch::ShortcutPrefetch(ReadingPlan plan, std::size_t readsInFlight, std::size_t window,
                                   std::chrono::microseconds slowRead)
    : plan_(std::move(plan)),
      readsInFlight_(std::min(readsInFlight, plan_.size())),
      window_(std::max({window, readsInFlight, std::size_t{1}})),
      slowRead_(slowRead),
      slots_(std::make_unique<Slot[]>(window_)) {
  lookAtSwitches();
}

ShortcutPrefetch::~ShortcutPrefetch() {
  for (std::jthread& reader : readers_) reader.request_stop();
  wakeReaders();
  readers_.clear();
}

void ShortcutPrefetch::startReaders() {
  readers_.reserve(readsInFlight_);
  try {
    for (std::size_t i = 0; i < readsInFlight_; ++i) {
      readers_.emplace_back([this](const std::stop_token& stop) { readAhead(stop); });
    }
  } catch (const std::system_error&) {
    // No more threads to be had: the readers started do the work, or the run reads alone.
  }
}

void ShortcutPrefetch::wakeReaders() {
  readersWake_.fetch_add(1, std::memory_order_release);
  readersWake_.notify_all();
}

std::optional<std::size_t> ShortcutPrefetch::claimAhead() {
  std::size_t position = nextToRead_.load(std::memory_order_relaxed);
  for (;;) {
    if (position >= plan_.size() || position >= readUntil_.load(std::memory_order_relaxed) ||
        position >= nextToTake_.load(std::memory_order_acquire) + window_) {
      return std::nullopt;
    }
    if (nextToRead_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) return position;
  }
}

void ShortcutPrefetch::read(std::size_t position) {
  Slot& slot = slots_[position % window_];
  const auto start = std::chrono::steady_clock::now();
  try {
    slot.file = loadShortcutFile(plan_.pathOf(position));
  } catch (...) {
    slot.failure = std::current_exception();  // handed to the run, which meets it where it would have
  }
  if (std::chrono::steady_clock::now() - start > slowRead_ && waitedSinceLastLook()) {
    // Slow reads: keep reading ahead, a window's worth past this one at least.
    const std::size_t until = position + 1 + window_;
    std::size_t was = readUntil_.load(std::memory_order_relaxed);
    while (was < until && !readUntil_.compare_exchange_weak(was, until, std::memory_order_relaxed)) {
    }
    if (was < until && was <= nextToRead_.load(std::memory_order_relaxed)) wakeReaders();
  }
  slot.ready.store(true, std::memory_order_release);
  slot.ready.notify_one();
}

void ShortcutPrefetch::readAhead(const std::stop_token& stop) {
  lookAtSwitches();
  while (!stop.stop_requested()) {
    const std::uint64_t wake = readersWake_.load(std::memory_order_acquire);
    if (const std::optional<std::size_t> position = claimAhead()) {
      read(*position);
    } else if (nextToRead_.load(std::memory_order_relaxed) >= plan_.size()) {
      return;
    } else {
      readersWake_.wait(wake, std::memory_order_acquire);  // the window is full, or reads come quickly
      lookAtSwitches();
    }
  }
}

ShortcutFile ShortcutPrefetch::take(const std::filesystem::path& path) {
  const std::size_t position = nextToTake_.load(std::memory_order_relaxed);
  if (!plan_.isAt(position, path)) return loadShortcutFile(path);
  Slot& slot = slots_[position % window_];
  if (std::size_t unclaimed = position; nextToRead_.compare_exchange_strong(unclaimed, position + 1)) {
    // No reader came to it: the run reads it itself, and when that was slow, readers start.
    read(position);
    if (readers_.empty() && readUntil_.load(std::memory_order_relaxed) > position + 1) startReaders();
  }
  while (!slot.ready.load(std::memory_order_acquire)) {
    // Rather than wait for its file, the run reads one further ahead that no reader took yet.
    if (const std::optional<std::size_t> ahead = claimAhead()) {
      read(*ahead);
    } else {
      slot.ready.wait(false, std::memory_order_acquire);
      lookAtSwitches();
    }
  }
  ShortcutFile file = std::move(slot.file);
  const std::exception_ptr failure = std::exchange(slot.failure, nullptr);
  slot.file = {};
  slot.ready.store(false, std::memory_order_relaxed);
  nextToTake_.store(position + 1, std::memory_order_release);
  // Readers that found the window full wake together each time half of it has been taken,
  // not once per file.
  if (!readers_.empty() && (position + 1) % std::max<std::size_t>(window_ / 2, 1) == 0) wakeReaders();
  if (failure) std::rethrow_exception(failure);
  return file;
}

}  // namespace trevanto::site

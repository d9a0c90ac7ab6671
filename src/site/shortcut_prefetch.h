// SPDX-License-Identifier: MIT
// Reading the shortcut files of a run ahead of the run, several at a time. On a network share
// or a cold disk each open waits for a round trip; with many reads in flight the waits overlap,
// while the run still takes every file in its own order, one after another.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "shortcut_reader.h"

namespace trevanto::site {

// The files a run will read, in the order it reads them: folder by folder, names in the order
// of their folder. Names are kept packed, a few bytes beyond the name itself per file.
class ReadingPlan {
 public:
  void addFolder(const std::filesystem::path& folder);
  // A file of the folder added last.
  void addFile(std::string_view name);
  std::size_t size() const { return files_.size(); }
  std::filesystem::path pathOf(std::size_t position) const;
  // True when the file at position is path, as joinPath composes it.
  bool isAt(std::size_t position, const std::filesystem::path& path) const;

 private:
  std::string_view nameOf(std::size_t position) const;

  struct File {
    std::size_t folder;
    std::size_t nameEnd;  // in names_; the name starts where the previous one ends
  };
  std::vector<std::string> folders_;
  std::string names_;
  std::vector<File> files_;
};

// The run reads alone while its reads come quickly (from the page cache), so a run on a local,
// warm disk starts no thread at all. Once a read takes long, readers start and keep up to
// readsInFlight reads going ahead of the run, through the section boundaries, for as long as
// reads stay slow; never more than window files ahead of the one the run takes.
class ShortcutPrefetch {
 public:
  // Reads kept in flight: enough to overlap the round trips of a share or the queue of a disk.
  static constexpr std::size_t kReadsInFlight = 16;
  // Files read ahead of the run at most, taken or not: the memory bound is this many files of
  // at most kMaxShortcutBytes (1 MiB) each.
  static constexpr std::size_t kWindow = 64;
  // A read that takes longer than this did not come from the page cache.
  static constexpr std::chrono::microseconds kSlowRead{50};

  explicit ShortcutPrefetch(ReadingPlan plan, std::size_t readsInFlight = kReadsInFlight, std::size_t window = kWindow,
                            std::chrono::microseconds slowRead = kSlowRead);
  ShortcutPrefetch(const ShortcutPrefetch&) = delete;
  ShortcutPrefetch& operator=(const ShortcutPrefetch&) = delete;
  // Starts no new read and waits for the reads in flight.
  ~ShortcutPrefetch();

  // The file at path, as loadShortcutFile reads it. When path is the next file of the plan it
  // may come from the reads ahead; any other path is read here and now and the plan stays
  // where it was. Called from one thread only.
  ShortcutFile take(const std::filesystem::path& path);

  // How many readers were started (none while every read came quickly).
  std::size_t readersStarted() const { return readers_.size(); }

 private:
  struct Slot {
    std::atomic<bool> ready = false;
    ShortcutFile file;
    std::exception_ptr failure;
  };

  void startReaders();
  void readAhead(const std::stop_token& stop);
  // Claims the next file of the plan when reads go ahead and it fits in the window.
  std::optional<std::size_t> claimAhead();
  void read(std::size_t position);
  void wakeReaders();

  const ReadingPlan plan_;
  const std::size_t readsInFlight_;
  const std::size_t window_;
  const std::chrono::microseconds slowRead_;
  std::unique_ptr<Slot[]> slots_;  // by position % window_
  std::atomic<std::size_t> nextToRead_ = 0;
  std::atomic<std::size_t> nextToTake_ = 0;
  std::atomic<std::size_t> readUntil_ = 0;      // reads go ahead up to here; slow reads move it on
  std::atomic<std::uint64_t> readersWake_ = 0;  // bumped when there is room or reading to do again
  std::vector<std::jthread> readers_;           // last: they stop and join before the rest goes
};

}  // namespace trevanto::site

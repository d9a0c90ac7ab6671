// SPDX-License-Identifier: MIT
#include "read_ahead.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <system_error>

#include "system.h"

namespace trevanto::base {
namespace {

// Voluntary context switches of the calling thread, as last looked at. A slow read that
// raised them waited for a disk or a network; one that did not was only kept from a processor
// (a busy machine), and reading ahead would not help it.
thread_local long seenSwitches = 0;

void lookAtSwitches() { seenSwitches = voluntaryWaitsOfThisThread(); }

bool waitedSinceLastLook() {
  const long before = seenSwitches;
  lookAtSwitches();
  return seenSwitches > before;
}

// Slow reads that waited, one after another, on this thread. One alone may have met a wait
// that came before it (a page write, say); two in a row are a slow disk or network.
thread_local int waitedInARow = 0;

bool keepsWaiting(bool slow) {
  waitedInARow = slow && waitedSinceLastLook() ? waitedInARow + 1 : 0;
  return waitedInARow >= 2;
}

}  // namespace

ReadAheadOptions& runReadAheadOptions() {
  static ReadAheadOptions options;
  return options;
}

std::size_t ReadAheadQueue::windowFor(const ReadAheadOptions& options) {
  return std::max({options.window, options.readsInFlight, std::size_t{1}});
}

ReadAheadQueue::ReadAheadQueue(std::size_t count, std::function<void(std::size_t)> read,
                               const ReadAheadOptions& options)
    : count_(count),
      read_(std::move(read)),
      readsInFlight_(std::min(options.readsInFlight, count)),
      window_(windowFor(options)),
      slowRead_(options.slowRead),
      slots_(std::make_unique<Slot[]>(window_)) {
  lookAtSwitches();
  if (slowRead_.count() <= 0) {
    readUntil_ = SIZE_MAX;
    startReaders();
  }
}

ReadAheadQueue::~ReadAheadQueue() {
  for (std::jthread& reader : readers_) reader.request_stop();
  wakeReaders();
  readers_.clear();
}

void ReadAheadQueue::startReaders() {
  readers_.reserve(readsInFlight_);
  try {
    for (std::size_t i = 0; i < readsInFlight_; ++i) {
      readers_.emplace_back([this](const std::stop_token& stop) { readAhead(stop); });
    }
  } catch (const std::system_error&) {
    // No more threads to be had: the readers started do the work, or the run reads alone.
  }
}

void ReadAheadQueue::wakeReaders() {
  readersWake_.fetch_add(1, std::memory_order_release);
  wakeAllWaiting(readersWake_);
}

std::optional<std::size_t> ReadAheadQueue::claimAhead() {
  std::size_t position = nextToRead_.load(std::memory_order_relaxed);
  for (;;) {
    if (position >= count_ || position >= readUntil_.load(std::memory_order_relaxed) ||
        position >= nextToTake_.load(std::memory_order_acquire) + window_) {
      return std::nullopt;
    }
    if (nextToRead_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) return position;
  }
}

void ReadAheadQueue::read(std::size_t position) {
  const auto start = std::chrono::steady_clock::now();
  read_(position);
  if (keepsWaiting(std::chrono::steady_clock::now() - start > slowRead_)) {
    // Reads that wait: keep reading ahead, a window's worth past this one at least.
    const std::size_t until = position + 1 + window_;
    std::size_t was = readUntil_.load(std::memory_order_relaxed);
    while (was < until && !readUntil_.compare_exchange_weak(was, until, std::memory_order_relaxed)) {
    }
    if (was < until && was <= nextToRead_.load(std::memory_order_relaxed)) wakeReaders();
  }
  Slot& slot = slots_[position % window_];
  slot.ready.store(true, std::memory_order_seq_cst);
  if (runWaits_.load(std::memory_order_seq_cst)) wakeOneWaiting(slot.ready);
}

void ReadAheadQueue::readAhead(const std::stop_token& stop) {
  lookAtSwitches();
  while (!stop.stop_requested()) {
    const std::uint64_t wake = readersWake_.load(std::memory_order_acquire);
    if (const std::optional<std::size_t> position = claimAhead()) {
      read(*position);
    } else if (nextToRead_.load(std::memory_order_relaxed) >= count_) {
      return;
    } else {
      waitWhileEquals(readersWake_, wake);  // the window is full, or reads come quickly
      lookAtSwitches();
    }
  }
}

std::size_t ReadAheadQueue::awaitNext() {
  const std::size_t position = nextToTake_.load(std::memory_order_relaxed);
  if (position >= count_) throw std::out_of_range("read ahead: taken past the end");
  if (std::size_t unclaimed = position; nextToRead_.compare_exchange_strong(unclaimed, position + 1)) {
    // No reader came to it: the run reads it itself, and when that had to wait, readers start.
    read(position);
    if (readers_.empty() && readUntil_.load(std::memory_order_relaxed) > position + 1) startReaders();
  }
  Slot& slot = slots_[position % window_];
  while (!slot.ready.load(std::memory_order_acquire)) {
    // Rather than wait for its result, the run reads one further ahead that no reader took yet.
    if (const std::optional<std::size_t> ahead = claimAhead()) {
      read(*ahead);
    } else {
      runWaits_.store(true, std::memory_order_seq_cst);
      if (!slot.ready.load(std::memory_order_seq_cst)) waitWhileEquals(slot.ready, false);
      runWaits_.store(false, std::memory_order_relaxed);
      lookAtSwitches();
    }
  }
  return position;
}

void ReadAheadQueue::release() {
  const std::size_t position = nextToTake_.load(std::memory_order_relaxed);
  slots_[position % window_].ready.store(false, std::memory_order_relaxed);
  nextToTake_.store(position + 1, std::memory_order_release);
  // Readers that found the window full wake together each time half of it has been taken,
  // not once per result.
  if (!readers_.empty() && (position + 1) % std::max<std::size_t>(window_ / 2, 1) == 0) wakeReaders();
}

}  // namespace trevanto::base

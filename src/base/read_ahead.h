// SPDX-License-Identifier: MIT
// Reading ahead of a run, several reads at a time, handed over in the run's order. On a
// network share or a cold disk each open or listing waits for a round trip; with many in
// flight the waits overlap, while the run still takes every result in order, one after another.
//
// The run reads alone while its reads come quickly (from the page cache), so a run on a local,
// warm disk starts no thread at all. Once two reads in a row had to wait for a disk or a
// network, readers start and keep up to readsInFlight reads going ahead of the run for as long as reads keep
// waiting, never more than window results ahead of the one the run takes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

namespace trevanto::base {

struct ReadAheadOptions {
  // Reads kept in flight: enough to overlap the round trips of a share or the queue of a disk.
  std::size_t readsInFlight = 16;
  // Results read ahead of the run at most, taken or not: what bounds the memory.
  std::size_t window = 64;
  // A read that took longer than this and waited did not come from the page cache. Zero: read
  // ahead from the first result on.
  std::chrono::microseconds slowRead{50};
};

// The options every run uses; tests change them to read ahead from the start.
ReadAheadOptions& runReadAheadOptions();

// The order and the threads; the results live in ReadAhead below.
class ReadAheadQueue {
 public:
  // read(position) reads one result into the place of position % window().
  ReadAheadQueue(std::size_t count, std::function<void(std::size_t)> read, const ReadAheadOptions& options);
  ReadAheadQueue(const ReadAheadQueue&) = delete;
  ReadAheadQueue& operator=(const ReadAheadQueue&) = delete;
  // Starts no new read and waits for the reads in flight.
  ~ReadAheadQueue();

  static std::size_t windowFor(const ReadAheadOptions& options);
  std::size_t window() const { return window_; }
  std::size_t size() const { return count_; }
  // The position the run takes next.
  std::size_t next() const { return nextToTake_.load(std::memory_order_relaxed); }
  // Waits until the next position has been read (reading it here when no reader has) and
  // returns it. Called from the run's thread only, like release().
  std::size_t awaitNext();
  // The next position has been taken: its place may be read into again.
  void release();
  std::size_t readersStarted() const { return readers_.size(); }

 private:
  struct Slot {
    std::atomic<bool> ready = false;
  };

  void startReaders();
  void readAhead(const std::stop_token& stop);
  std::optional<std::size_t> claimAhead();
  void read(std::size_t position);
  void wakeReaders();

  const std::size_t count_;
  const std::function<void(std::size_t)> read_;
  const std::size_t readsInFlight_;
  const std::size_t window_;
  const std::chrono::microseconds slowRead_;
  std::unique_ptr<Slot[]> slots_;  // by position % window_
  std::atomic<std::size_t> nextToRead_ = 0;
  std::atomic<std::size_t> nextToTake_ = 0;
  std::atomic<std::size_t> readUntil_ = 0;  // reads go ahead up to here; reads that waited move it on
  std::atomic<bool> runWaits_ = false;
  std::atomic<std::uint64_t> readersWake_ = 0;  // bumped when there is room or reading to do again
  std::vector<std::jthread> readers_;           // last: they stop and join before the rest goes
};

// Results of read(0) ... read(count - 1), taken in that order. What read throws is thrown
// again by the take() of its position.
template <typename Result>
class ReadAhead {
 public:
  ReadAhead(std::size_t count, std::function<Result(std::size_t)> read,
            const ReadAheadOptions& options = runReadAheadOptions())
      : read_(std::move(read)),
        results_(ReadAheadQueue::windowFor(options)),
        queue_(
            count, [this](std::size_t position) { store(position); }, options) {}

  std::size_t next() const { return queue_.next(); }
  std::size_t size() const { return queue_.size(); }
  std::size_t readersStarted() const { return queue_.readersStarted(); }

  Result take() {
    Outcome& outcome = results_[queue_.awaitNext() % results_.size()];
    Result result = std::move(outcome.result);
    const std::exception_ptr failure = std::exchange(outcome.failure, nullptr);
    queue_.release();
    if (failure) std::rethrow_exception(failure);
    return result;
  }

 private:
  struct Outcome {
    Result result{};
    std::exception_ptr failure;
  };

  void store(std::size_t position) {
    Outcome& outcome = results_[position % results_.size()];
    try {
      outcome.result = read_(position);
    } catch (...) {
      outcome.failure = std::current_exception();
    }
  }

  const std::function<Result(std::size_t)> read_;
  std::vector<Outcome> results_;
  ReadAheadQueue queue_;  // last: its readers stop before the results go
};

}  // namespace trevanto::base

#include "console/item_pool.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/signal_cleanup.h"

namespace velmora {

namespace {

// The shared state of one pool run, guarded by its mutex.
class TPoolState {
 public:
  TPoolState(const std::vector<TPoolItem>& items)
      : items_(items), done_(items.size(), 0), started_(items.size(), 0) {
    for (const TPoolItem& item : items)
      turn_of_.push_back(item.Runs && item.Sequential ? sequential_count_++ : -1);
  }

  // The worker's loop: takes the next item, waits for its turn when it is a
  // sequential one, runs it and marks it done, until there is nothing to start.
  void Work(std::size_t worker, const std::function<bool(std::size_t, std::size_t)>& run) {
    for (;;) {
      std::size_t index = 0;
      bool skipped = false;
      {
        std::unique_lock lock(mutex_);
        while (next_ < items_.size() && !items_[next_].Runs) ++next_;
        if (stop_ || next_ == items_.size()) return;
        index = next_++;
        started_[index] = 1;
        if (turn_of_[index] >= 0) {
          changed_.wait(lock, [&] { return stop_ || turn_ == turn_of_[index]; });
          skipped = stop_;
        }
      }
      bool go_on = false;
      if (!skipped) {
        try {
          go_on = run(worker, index);
        } catch (...) {
          const std::lock_guard lock(mutex_);
          if (!escaped_) escaped_ = std::current_exception();
        }
      }
      {
        const std::lock_guard lock(mutex_);
        done_[index] = 1;
        if (!go_on) stop_ = true;
        if (turn_of_[index] >= 0 && !skipped) ++turn_;
      }
      changed_.notify_all();
    }
  }

  // Waits until the item is done, does not run, or will never start.
  void AwaitSettled(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !items_[index].Runs || done_[index] || (stop_ && !started_[index]); });
  }

  std::exception_ptr Escaped() const { return escaped_; }

 private:
  const std::vector<TPoolItem>& items_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char> done_;
  std::vector<char> started_;
  std::vector<int> turn_of_;  // -1, or the item's place among the sequential items
  int sequential_count_ = 0;
  int turn_ = 0;          // the sequential item whose turn it is
  std::size_t next_ = 0;  // the next item to start
  bool stop_ = false;
  std::exception_ptr escaped_;
};

}  // namespace

void RunPool(const std::vector<TPoolItem>& items, std::size_t workers,
             const std::function<bool(std::size_t worker, std::size_t index)>& run,
             const std::function<void(std::size_t index)>& settle) {
  TPoolState state(items);
  std::vector<std::thread> threads;
  // Joined whatever way the calling thread leaves: a worker is never left running.
  struct TJoin {
    std::vector<std::thread>& Threads;
    ~TJoin() {
      for (std::thread& thread : Threads) {
        if (thread.joinable()) thread.join();
      }
    }
  } join{threads};
  const auto runs = static_cast<std::size_t>(
      std::count_if(items.begin(), items.end(), [](const TPoolItem& item) { return item.Runs; }));
  workers = std::min(workers, runs);
  threads.reserve(workers);
  for (std::size_t worker = 0; worker < workers; ++worker) {
    threads.emplace_back([&state, &run, worker] {
      // Terminating signals are handled on the calling thread, which only waits.
      BlockCleanupSignalsInThisThread();
      state.Work(worker, run);
    });
  }
  for (std::size_t index = 0; index < items.size(); ++index) {
    state.AwaitSettled(index);
    settle(index);
  }
  for (std::thread& thread : threads) thread.join();
  if (const std::exception_ptr escaped = state.Escaped()) std::rethrow_exception(escaped);
}

}  // namespace velmora

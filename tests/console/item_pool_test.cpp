// The pool that exports items at once: start and settle order, turns of the
// sequential items, stopping, and exceptions of a worker.

#include "console/item_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace velmora {
namespace {

using std::chrono::milliseconds;

// Runs items where item i takes delays[i] milliseconds; returns the settle
// order, and the start and end order of the runs in events.
struct TPoolTrace {
  std::vector<std::size_t> Settled;
  std::vector<std::string> Events;  // "+3" when item 3 starts, "-3" when it ends
  std::size_t MostAtOnce = 0;
};

TPoolTrace RunTraced(const std::vector<TPoolItem>& items, std::size_t workers, const std::vector<int>& delays,
                     std::size_t stop_at = static_cast<std::size_t>(-1)) {
  TPoolTrace trace;
  std::mutex mutex;
  std::size_t running = 0;
  RunPool(
      items, workers,
      [&](std::size_t, std::size_t index) {
        {
          const std::lock_guard lock(mutex);
          trace.Events.push_back("+" + std::to_string(index));
          trace.MostAtOnce = std::max(trace.MostAtOnce, ++running);
        }
        std::this_thread::sleep_for(milliseconds(delays[index]));
        const std::lock_guard lock(mutex);
        trace.Events.push_back("-" + std::to_string(index));
        --running;
        return index != stop_at;
      },
      [&](std::size_t index) { trace.Settled.push_back(index); });
  return trace;
}

// Later items that finish first still settle after the earlier ones, and no
// more items run at once than there are workers.
TEST(ItemPoolTest, ItemsSettleInItemOrderWhateverOrderTheyEndIn) {
  const std::vector<TPoolItem> items(6);
  const TPoolTrace trace = RunTraced(items, 3, {300, 10, 10, 10, 60, 0});
  EXPECT_EQ(trace.Settled, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_LE(trace.MostAtOnce, 3u);
  EXPECT_GE(trace.MostAtOnce, 2u);
  EXPECT_EQ(trace.Events.size(), 12u);
  // Item 0 took longest: items started after it ended before it.
  EXPECT_NE(trace.Events.back(), "-5");
}

// Sequential items never overlap each other and run in item order, while the
// other items run beside them; items that do not run settle at once.
TEST(ItemPoolTest, SequentialItemsTakeTurnsInItemOrder) {
  std::vector<TPoolItem> items(6);
  for (const std::size_t index : {0, 2, 3}) items[index].Sequential = true;
  items[4].Runs = false;
  const TPoolTrace trace = RunTraced(items, 3, {80, 0, 0, 0, 0, 0});
  EXPECT_EQ(trace.Settled, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
  std::vector<std::string> sequential;
  for (const std::string& event : trace.Events) {
    if (event == "+0" || event == "-0" || event == "+2" || event == "-2" || event == "+3" || event == "-3")
      sequential.push_back(event);
  }
  EXPECT_EQ(sequential, (std::vector<std::string>{"+0", "-0", "+2", "-2", "+3", "-3"}));
  for (const std::string& event : trace.Events) EXPECT_NE(event, "+4");
}

// A run that asks to stop lets the running items end and starts no other;
// every item still settles, in order.
TEST(ItemPoolTest, AStopStartsNoFurtherItem) {
  const std::vector<TPoolItem> items(5);
  const TPoolTrace trace = RunTraced(items, 1, {0, 0, 0, 0, 0}, 1);
  EXPECT_EQ(trace.Events, (std::vector<std::string>{"+0", "-0", "+1", "-1"}));
  EXPECT_EQ(trace.Settled, (std::vector<std::size_t>{0, 1, 2, 3, 4}));

  // A sequential item waiting for its turn when the run stops does not run.
  std::vector<TPoolItem> waiting(3);
  waiting[0].Sequential = waiting[2].Sequential = true;
  const TPoolTrace stopped = RunTraced(waiting, 3, {50, 0, 0}, 0);
  for (const std::string& event : stopped.Events) EXPECT_NE(event, "+2");
  EXPECT_EQ(stopped.Settled, (std::vector<std::size_t>{0, 1, 2}));
}

// An exception of one run ends the pool once every worker has ended, and is
// raised on the calling thread after the items before it settled.
TEST(ItemPoolTest, AnExceptionOfARunIsRaisedOnTheCallingThread) {
  const std::vector<TPoolItem> items(4);
  std::vector<std::size_t> settled;
  std::atomic<int> runs{0};
  EXPECT_THROW(RunPool(
                   items, 2,
                   [&](std::size_t, std::size_t index) {
                     ++runs;
                     if (index == 1) throw std::runtime_error("lost");
                     // Item 0 outlasts the throw: its worker then finds the pool stopped.
                     std::this_thread::sleep_for(milliseconds(50));
                     return true;
                   },
                   [&](std::size_t index) { settled.push_back(index); }),
               std::runtime_error);
  EXPECT_EQ(runs.load(), 2);
  EXPECT_EQ(settled, (std::vector<std::size_t>{0, 1, 2, 3}));
}

}  // namespace
}  // namespace velmora

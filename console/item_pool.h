#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace velmora {

// One item of a pool run.
struct TPoolItem {
  bool Runs = true;         // false: nothing to run, the item is settled at once
  bool Sequential = false;  // runs alone among the sequential items, in item order
};

// Runs the items that run on up to workers threads at once, starting them in
// item order: run(worker, index) on the worker's thread, worker from 0 to
// workers - 1, so that each worker may keep a connection of its own. When run
// returns false no further item starts; those already running end. settle(index)
// is called on the calling thread for every item, in item order, as soon as it
// and every item before it are done, never started (after a stop) or do not
// run. The first exception a run raises stops the pool as well and is raised
// again once every worker has ended.
void RunPool(const std::vector<TPoolItem>& items, std::size_t workers,
             const std::function<bool(std::size_t worker, std::size_t index)>& run,
             const std::function<void(std::size_t index)>& settle);

}  // namespace velmora

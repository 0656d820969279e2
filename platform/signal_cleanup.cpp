#include "platform/signal_cleanup.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace velmora {

namespace {

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The registry: blocks of slots chained by pointers. Blocks are added, never
// removed, so the handler can walk the chain at any moment without a lock.
constexpr int kSlotsPerBlock = 64;
struct TSlotBlock {
  std::atomic<char*> paths[kSlotsPerBlock] = {};
  std::atomic<TSlotBlock*> next{nullptr};
};
static_assert(std::atomic<char*>::is_always_lock_free && std::atomic<TSlotBlock*>::is_always_lock_free,
              "the signal handler reads the registry without locks");

TSlotBlock first_block;

// The threads inside a deferred section, and whether a handler is ending the
// process. Blocking a signal holds it off in one thread only: a handler run by
// another thread waits until no thread is inside a section, and a thread that
// finds the process ending never enters one.
std::atomic<int> deferring_threads{0};
constexpr long kLongestSectionWaitSeconds = 10;
std::atomic<bool> ending{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler waits on these without locks");

std::atomic<char*>* TakeSlot(char* path) {
  for (TSlotBlock* block = &first_block;;) {
    for (std::atomic<char*>& slot : block->paths) {
      char* expected = nullptr;
      if (slot.compare_exchange_strong(expected, path)) return &slot;
    }
    TSlotBlock* next = block->next.load();
    if (next == nullptr) {
      TSlotBlock* fresh = new TSlotBlock;
      if (block->next.compare_exchange_strong(next, fresh)) {
        next = fresh;
      } else {
        delete fresh;  // another thread chained one first; next holds it
      }
    }
    block = next;
  }
}

extern "C" void RemoveRegisteredAndEnd(int signal_number) {
  const int saved_errno = errno;
  ending.store(true);
  // Bounded, so that a section that cannot end (it waits on something this
  // thread holds) never keeps the process from ending.
  timespec start = {};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  while (deferring_threads.load() != 0) {
    timespec now = {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    if (now.tv_sec - start.tv_sec >= kLongestSectionWaitSeconds) break;
    ::sched_yield();
  }
  for (TSlotBlock* block = &first_block; block != nullptr; block = block->next.load()) {
    for (std::atomic<char*>& slot : block->paths) {
      if (const char* path = slot.load(); path != nullptr) ::unlink(path);
    }
  }
  // The signal is blocked while its handler runs: with the default action in
  // place again it ends the process as soon as the handler returns.
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
  ::raise(signal_number);
  errno = saved_errno;
}

sigset_t CleanupSignalSet() {
  sigset_t set;
  ::sigemptyset(&set);
  for (const int signal_number : kCleanupSignals) ::sigaddset(&set, signal_number);
  return set;
}

}  // namespace

void InstallSignalCleanup() {
  for (const int signal_number : kCleanupSignals) {
    struct sigaction previous = {};
    if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = &RemoveRegisteredAndEnd;
    // One cleanup at a time: a second signal waits until the first has ended the process.
    action.sa_mask = CleanupSignalSet();
    ::sigaction(signal_number, &action, nullptr);
  }
}

void TSignalCleanupPath::Hold(const std::string& path) {
  Release();
  char* copy = new char[path.size() + 1];
  std::memcpy(copy, path.c_str(), path.size() + 1);
  slot_ = TakeSlot(copy);
}

void TSignalCleanupPath::Release() {
  if (slot_ == nullptr) return;
  delete[] slot_->exchange(nullptr);
  slot_ = nullptr;
}

void BlockCleanupSignalsInThisThread() {
  const sigset_t set = CleanupSignalSet();
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TDeferCleanupSignals::TDeferCleanupSignals() {
  const sigset_t set = CleanupSignalSet();
  ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
  deferring_threads.fetch_add(1);
  if (ending.load()) {
    // A handler in another thread is removing the files and ending the
    // process: nothing more may be created or renamed meanwhile.
    deferring_threads.fetch_sub(1);
    for (;;) ::pause();
  }
}

TDeferCleanupSignals::~TDeferCleanupSignals() {
  deferring_threads.fetch_sub(1);
  ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace velmora

#pragma once

#include <atomic>
#include <csignal>
#include <string>

namespace velmora {

// Installs handlers for SIGINT, SIGTERM, SIGHUP and SIGPIPE that remove every
// registered path and then end the process with the signal's default action,
// so that the exit status still tells the signal. A signal that is ignored when
// this is called (SIGHUP under nohup) stays ignored.
void InstallSignalCleanup();

// Blocks the cleanup signals in the calling thread for the rest of its life,
// so that their handler runs in another thread. For worker threads: a handler
// that interrupted one inside the memory allocator could wait on a section of
// another thread that needs the allocator.
void BlockCleanupSignalsInThisThread();

// A path that a terminating signal removes while the object holds it: the
// temporary file of an export in progress. The registry is walked by the
// signal handler, so registering allocates beforehand and the handler only
// reads and unlinks.
class TSignalCleanupPath {
 public:
  TSignalCleanupPath() = default;
  ~TSignalCleanupPath() { Release(); }
  TSignalCleanupPath(const TSignalCleanupPath&) = delete;
  TSignalCleanupPath& operator=(const TSignalCleanupPath&) = delete;

  // Registers path, releasing the one held before.
  void Hold(const std::string& path);
  // Unregisters the path; the file itself is left alone.
  void Release();

 private:
  std::atomic<char*>* slot_ = nullptr;
};

// Defers the cleanup signals in this thread while the object lives, so that a
// file is never created without being registered, nor renamed into place and
// then removed by a handler that still finds its old name registered.
class TDeferCleanupSignals {
 public:
  TDeferCleanupSignals();
  ~TDeferCleanupSignals();
  TDeferCleanupSignals(const TDeferCleanupSignals&) = delete;
  TDeferCleanupSignals& operator=(const TDeferCleanupSignals&) = delete;

 private:
  sigset_t saved_;
};

}  // namespace velmora

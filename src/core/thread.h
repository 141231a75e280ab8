// CThread: the base of every worker thread (the playback engine's, the recording engine's, the
// recorder's notification queue).
#pragma once

#include <atomic>
#include <cstdint>

#include "core/critical_section.h"
#include "platform/thread.h"

namespace melvox {

using platform::STILL_ACTIVE;

// A derived class gives the thread body in Run; Start runs it on a new thread. There is no forced
// termination on this platform: an owner stops its thread (through an event or the stop-requested
// flag that Run watches) and waits for it before destroying the object. A thread that still runs when
// the CThread is destroyed is detached and runs on; it must then touch nothing of the object.
//
// Threading: Start is called by the owner's thread; IsRunning from any thread. Run runs on the new
// thread.
class CThread {
 public:
  CThread() = default;
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // The thread body; its result is the thread's exit code.
  virtual uint32_t Run() = 0;

  // Under the lock: false while a thread made earlier still runs (exit code STILL_ACTIVE); otherwise
  // lets go of an ended thread and starts Run on a new one. True when a thread was made.
  bool Start();
  // True when a thread was made and its exit code is still STILL_ACTIVE.
  bool IsRunning();
  // The exit code of the thread made last: STILL_ACTIVE while it runs, 0 when none was made.
  uint32_t ExitCode();

  void RequestStop() { stop_requested_.store(true); }
  bool StopRequested() const { return stop_requested_.load(); }

 protected:
  // Waits without limit for the thread to end; returns at once when there is none, or when called on
  // the thread itself (which would otherwise wait for ever).
  void WaitForEnd();

 private:
  platform::Thread thread_;  // guarded by lock_
  std::atomic<bool> stop_requested_{false};
  CCriticalSection lock_;
};

}  // namespace melvox

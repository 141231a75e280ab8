// Events: the signalling primitive of the worker threads (stop requests, device done notifications).
#pragma once

#include <cstddef>
#include <cstdint>

namespace melvox::platform {

enum class EventMode {
  kManualReset,  // stays signalled until Reset
  kAutoReset,    // a wait that returns because of it resets it
};

// Returned by WaitForAny when the time-out passed with no event signalled.
constexpr int kWaitTimeout = -1;
// A time-out that never passes.
constexpr int64_t kWaitInfinite = -1;

// An event that threads wait for, alone or together with others.
//
// Threading: every operation may be called from any thread, including a device's callback thread.
// All events of the process share one mutex and one condition variable: a Set wakes every waiter, and
// each waiter re-checks its own events. The events are few (two per engine), so this costs nothing
// and makes waiting for any of several events exact without per-event waiter lists.
class Event {
 public:
  explicit Event(EventMode mode, bool signalled = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Waits up to timeout_ms (kWaitInfinite: without limit); true when the event was signalled.
  bool Wait(int64_t timeout_ms);
  // True when signalled, without waiting or resetting.
  bool IsSet() const;

 private:
  friend int WaitForAny(Event* const events[], size_t count, int64_t timeout_ms);

  const bool manual_;
  bool signalled_;  // guarded by the shared mutex
};

// Waits until one of count events is signalled or timeout_ms milliseconds have passed (kWaitInfinite:
// without limit; 0: just looks). Returns the lowest index of a signalled event (an auto-reset event
// found signalled is reset, the others are left alone) or kWaitTimeout. Events must be non-null.
int WaitForAny(Event* const events[], size_t count, int64_t timeout_ms);

}  // namespace melvox::platform

// CNotifyQueue: hands the recorder's level reports to its listeners on a thread of its own, at a
// steady pace, so that a slow listener never delays the capture thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

#include "core/critical_section.h"
#include "core/thread.h"
#include "melvox/sound_recorder.h"
#include "platform/event.h"

namespace melvox {

// A first-in-first-out queue of (listener, level) pairs. Its thread, started by the constructor, waits
// the wait time, delivers the oldest pair (if any) by calling the listener, and waits again: at most
// one pair per wait reaches a listener.
//
// The queue holds at most kPerListener pairs per listener. A level pushed for a listener that has
// that many waiting drops the listener's oldest level: its levels move up one place within the places
// in line the listener already holds, and the new level takes the last of them. Listeners fed faster
// than the queue delivers so hear recent levels instead of falling further and further behind, and
// each keeps its turn (dropping the oldest pair of the whole queue instead lets one listener's pairs
// push out everyone else's for good once the queue is full).
//
// Threading: Reserve, Push and Remove may be called from any thread (the capture thread pushes, the
// host's thread reserves and removes). The queue lock guards the pairs, the wait lock the wait time;
// the delivery lock is held while a listener is called, so that Remove can wait for that call to end.
// Listeners are called on the queue's thread without the queue lock.
class CNotifyQueue final : public CThread {
 public:
  // Four levels (about 280 ms of input) per listener.
  static constexpr size_t kPerListener = 4;
  static constexpr int32_t kDefaultWaitMs = 100;

  CNotifyQueue();
  // Wakes the thread and waits for it to end; pairs still queued are not delivered.
  ~CNotifyQueue() override;

  void SetWaitTime(int32_t ms);
  int32_t GetWaitTime();
  // Makes room for kPerListener pairs of each of `listeners` listeners, so that Push does not allocate.
  void Reserve(size_t listeners);
  // Appends a pair, or drops the listener's oldest level when it has kPerListener waiting (see the
  // class comment). Never waits for a listener.
  void Push(IRecorderListener* listener, int32_t value);
  // Drops the pairs of listener and, unless called from a listener (on the queue's thread), waits for
  // a call to it in progress: once it returns, listener is not called again.
  void Remove(IRecorderListener* listener);
  // Pairs waiting.
  size_t Size();

  // The queue's thread.
  uint32_t Run() override;

 private:
  struct Pair {
    IRecorderListener* listener;
    int32_t value;
  };

  std::vector<Pair> pairs_;  // oldest first; guarded by queue_lock_
  CCriticalSection queue_lock_;
  CCriticalSection wait_lock_;
  CCriticalSection delivery_lock_;
  platform::Event wake_{platform::EventMode::kManualReset};
  int32_t wait_ms_ = kDefaultWaitMs;  // guarded by wait_lock_
  std::atomic<std::thread::id> thread_id_{};
};

}  // namespace melvox

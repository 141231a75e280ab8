// Threads with an exit code, a still-running query and a priority hint; Sleep.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace melvox::platform {

// The exit code a thread reports while it still runs.
constexpr uint32_t STILL_ACTIVE = 259;

// One thread of execution. There is no forced termination: an owner stops its thread (by a flag or an
// event the body watches) before it destroys the Thread. A Thread destroyed while its thread still
// runs detaches it; the thread then runs on, and whatever its body uses must outlive it.
//
// Threading: Start, Close and the destructor are called by the owner's thread; ExitCode, IsRunning
// and Wait may be called from any thread.
class Thread {
 public:
  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts body on a new thread; its result becomes the exit code. False when a thread is already
  // held (Close it first) or none could be created.
  bool Start(std::function<uint32_t()> body);
  // True while a thread is held (running or finished).
  bool IsHeld() const { return state_ != nullptr; }
  // STILL_ACTIVE while the thread runs, then the body's result; 0 when no thread is held.
  uint32_t ExitCode() const;
  bool IsRunning() const { return ExitCode() == STILL_ACTIVE; }
  // Waits up to timeout_ms (negative: without limit) for the thread to end; true when it has ended or
  // none is held. Called on the thread itself it returns false at once instead of waiting forever.
  bool Wait(int64_t timeout_ms) const;
  // True when called on the thread itself.
  bool IsCurrent() const;
  // Lets go of the thread: joins it when it has ended, else detaches it.
  void Close();

  struct State;
  // A view of the thread that stays valid when the Thread is closed or started anew, so that one
  // thread can wait for it while another replaces it.
  class Observer {
   public:
    Observer() = default;
    // As Thread::Wait, for the thread observed.
    bool Wait(int64_t timeout_ms) const;

   private:
    friend class Thread;
    explicit Observer(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
  };
  Observer Observe() const { return Observer(state_); }

 private:
  std::shared_ptr<State> state_;
};

// Raises the calling thread to the highest normal priority when the system permits (a nice value two
// steps below its current one, the highest normal level sitting two steps above normal); otherwise leaves
// it as it is. Never fails.
void RaiseCurrentThreadPriority();

// Suspends the calling thread for ms milliseconds; 0 only yields the processor.
void Sleep(uint32_t ms);

}  // namespace melvox::platform

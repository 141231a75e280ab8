#include "platform/thread.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <system_error>
#include <thread>

namespace melvox::platform {

// Shared by the Thread handle and the running thread, so either may go first.
struct Thread::State {
  std::thread thread;
  std::thread::id id;
  mutable std::mutex mutex;
  mutable std::condition_variable ended;
  bool finished = false;
  uint32_t exit_code = STILL_ACTIVE;
};

Thread::Thread() = default;

Thread::~Thread() { Close(); }

bool Thread::Start(std::function<uint32_t()> body) {
  if (state_ != nullptr || !body) return false;
  // The handle holds the state before the thread exists, so the body may already ask about itself;
  // the thread waits for the mutex until its id is stored.
  state_ = std::make_shared<State>();
  std::shared_ptr<State> state = state_;
  std::lock_guard<std::mutex> lock(state->mutex);
  try {
    state->thread = std::thread([state, body = std::move(body)]() {
      { std::lock_guard<std::mutex> wait_for_start(state->mutex); }
      const uint32_t code = body();
      {
        std::lock_guard<std::mutex> done(state->mutex);
        state->exit_code = code;
        state->finished = true;
      }
      state->ended.notify_all();
    });
  } catch (const std::system_error&) {
    state_.reset();
    return false;
  }
  state->id = state->thread.get_id();
  return true;
}

uint32_t Thread::ExitCode() const {
  if (state_ == nullptr) return 0;
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->finished ? state_->exit_code : STILL_ACTIVE;
}

bool Thread::Wait(int64_t timeout_ms) const { return Observe().Wait(timeout_ms); }

bool Thread::Observer::Wait(int64_t timeout_ms) const {
  if (state_ == nullptr) return true;
  std::unique_lock<std::mutex> lock(state_->mutex);
  if (state_->finished) return true;
  if (std::this_thread::get_id() == state_->id) return false;
  if (timeout_ms < 0) {
    state_->ended.wait(lock, [this] { return state_->finished; });
    return true;
  }
  return state_->ended.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return state_->finished; });
}

bool Thread::IsCurrent() const {
  if (state_ == nullptr) return false;
  std::lock_guard<std::mutex> lock(state_->mutex);
  return std::this_thread::get_id() == state_->id;
}

void Thread::Close() {
  if (state_ == nullptr) return;
  bool finished;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    finished = state_->finished;
  }
  // A finished thread is joined (it is past its last use of the state); one that still runs, or the
  // calling thread itself, is detached.
  if (finished && std::this_thread::get_id() != state_->id) {
    state_->thread.join();
  } else {
    state_->thread.detach();
  }
  state_.reset();
}

void RaiseCurrentThreadPriority() {
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, tid);
  if (nice == -1 && errno != 0) return;
  // Lowering the nice value needs CAP_SYS_NICE or a permissive RLIMIT_NICE; without them the call
  // fails and the thread keeps its normal priority, as promised.
  (void)::setpriority(PRIO_PROCESS, tid, nice - 2 < -20 ? -20 : nice - 2);
}

void Sleep(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

}  // namespace melvox::platform

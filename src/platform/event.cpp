#include "platform/event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace melvox::platform {
namespace {

struct EventHub {
  std::mutex mutex;
  std::condition_variable changed;
};

// Never destroyed: a thread that was detached at process exit may still touch an event.
EventHub& Hub() {
  static EventHub* hub = new EventHub;
  return *hub;
}

}  // namespace

Event::Event(EventMode mode, bool signalled) : manual_(mode == EventMode::kManualReset), signalled_(signalled) {}

Event::~Event() = default;

void Event::Set() {
  EventHub& hub = Hub();
  {
    std::lock_guard<std::mutex> lock(hub.mutex);
    signalled_ = true;
  }
  hub.changed.notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(Hub().mutex);
  signalled_ = false;
}

bool Event::Wait(int64_t timeout_ms) {
  Event* self[] = {this};
  return WaitForAny(self, 1, timeout_ms) == 0;
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> lock(Hub().mutex);
  return signalled_;
}

int WaitForAny(Event* const events[], size_t count, int64_t timeout_ms) {
  using Clock = std::chrono::steady_clock;
  EventHub& hub = Hub();
  const bool unlimited = timeout_ms < 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(unlimited ? 0 : timeout_ms);
  std::unique_lock<std::mutex> lock(hub.mutex);
  auto take_signalled = [&]() {
    for (size_t i = 0; i < count; ++i) {
      if (events[i]->signalled_) {
        if (!events[i]->manual_) events[i]->signalled_ = false;
        return static_cast<int>(i);
      }
    }
    return kWaitTimeout;
  };
  for (;;) {
    const int index = take_signalled();
    if (index != kWaitTimeout) return index;
    if (unlimited) {
      hub.changed.wait(lock);
    } else if (hub.changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      return take_signalled();  // an event set right at the deadline still counts
    }
  }
}

}  // namespace melvox::platform

// The clock thread of a simulated audio device (the null and test devices): it advances the device
// with the device's lock held and sleeps between ticks for as long as the device asks, or until woken.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace melvox::platform {

// Threading: `mutex` is the device's lock; the tick runs with it held, on the clock thread. Wake may be
// called with or without the lock; Stop with it held (it is released while the thread ends).
class DeviceClock {
 public:
  // What a tick returns to sleep until woken.
  static constexpr std::chrono::microseconds kUntilWoken{-1};

  DeviceClock() = default;
  DeviceClock(const DeviceClock&) = delete;
  DeviceClock& operator=(const DeviceClock&) = delete;
  // The owner stops the clock first; a clock still running is stopped here.
  ~DeviceClock();

  // Starts the thread, which calls tick until Stop; tick returns how long to sleep before the next call.
  void Start(std::function<std::chrono::microseconds()> tick);
  // Makes the thread tick at once.
  void Wake() { wake_.notify_all(); }
  // Ends the thread; lock holds `mutex` and is held again on return. Harmless when stopped.
  void Stop(std::unique_lock<std::mutex>& lock);

  // The sleep until something `seconds` away is due, rounded up to whole microseconds.
  static std::chrono::microseconds Until(double seconds);

  std::mutex mutex;

 private:
  std::condition_variable wake_;
  bool stopping_ = false;  // guarded by mutex
  std::thread thread_;
};

}  // namespace melvox::platform

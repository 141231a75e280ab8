#include "platform/device_clock.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace melvox::platform {

DeviceClock::~DeviceClock() {
  std::unique_lock<std::mutex> lock(mutex);
  Stop(lock);
}

void DeviceClock::Start(std::function<std::chrono::microseconds()> tick) {
  thread_ = std::thread([this, tick = std::move(tick)] {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping_) {
      const std::chrono::microseconds sleep = tick();
      if (sleep == kUntilWoken) {
        wake_.wait(lock);
      } else {
        wake_.wait_for(lock, sleep);
      }
    }
  });
}

void DeviceClock::Stop(std::unique_lock<std::mutex>& lock) {
  if (!thread_.joinable()) return;
  stopping_ = true;
  wake_.notify_all();
  lock.unlock();
  thread_.join();
  lock.lock();
}

std::chrono::microseconds DeviceClock::Until(double seconds) {
  return std::chrono::microseconds(static_cast<int64_t>(std::ceil(seconds * 1e6)) + 1);
}

}  // namespace melvox::platform

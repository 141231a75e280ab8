// Records what the default sink plays (its monitor source) while a test plays through it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct pa_simple;

namespace melvox::testing {

// 16-bit mono at kRate, read in 10 ms fragments on a thread of its own.
class MonitorRecorder {
 public:
  static constexpr uint32_t kRate = 22050;

  MonitorRecorder() = default;
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  // Connects to the monitor of the default sink and starts reading; false with a reason otherwise.
  bool Start(std::string& error);
  void Stop();
  // Samples received so far.
  size_t Count();
  std::vector<int16_t> Samples();
  // Waits until at least n samples arrived (false after 5 s).
  bool WaitFor(size_t n);

 private:
  void Loop();

  pa_simple* stream_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<int16_t> samples_;
};

}  // namespace melvox::testing

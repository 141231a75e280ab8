// What a test hears of the private PulseAudio server (scripts/with-pulse): a recording of the monitor
// of the default sink, that is of everything played there.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <pulse/error.h>
#include <pulse/simple.h>

#include "support/wait.h"

namespace melvox::testing {

// Records the monitor of the default sink, 16-bit mono at kRate in kFragment (10 ms) pieces, on a
// thread of its own.
class MonitorRecorder {
 public:
  static constexpr uint32_t kRate = 22050;
  static constexpr uint32_t kFragment = kRate / 100;

  ~MonitorRecorder() { Stop(); }
  bool Start(std::string& error) {
    const pa_sample_spec sample_format{PA_SAMPLE_S16LE, kRate, 1};
    const auto unset = static_cast<uint32_t>(-1);
    const pa_buffer_attr attr{unset, unset, unset, unset, kFragment * 2};  // deliver every 10 ms
    int code = 0;
    stream_ = pa_simple_new(nullptr, "melvox-test", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor", &sample_format,
                            nullptr, &attr, &code);
    if (stream_ == nullptr) error = pa_strerror(code);
    if (stream_ != nullptr) thread_ = std::thread([this] { Loop(); });
    return stream_ != nullptr;
  }
  void Stop() {
    if (stream_ == nullptr) return;
    stop_ = true;
    thread_.join();
    pa_simple_free(stream_);
    stream_ = nullptr;
  }
  std::vector<int16_t> Samples() {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
  }
  bool WaitFor(size_t n) {
    return WaitUntil([&] { return Samples().size() >= n; });
  }

 private:
  void Loop() {
    int16_t fragment[kFragment];
    for (int code = 0; !stop_ && pa_simple_read(stream_, fragment, sizeof fragment, &code) >= 0;) {
      std::lock_guard<std::mutex> lock(mutex_);
      samples_.insert(samples_.end(), fragment, fragment + kFragment);
    }
  }

  pa_simple* stream_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<int16_t> samples_;
};

// The RMS of the 10 ms piece of samples that starts at `at`.
inline double PieceRms(const std::vector<int16_t>& samples, size_t at) {
  double sum = 0.0;
  for (size_t i = at; i < at + MonitorRecorder::kFragment; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / MonitorRecorder::kFragment);
}

// How many of the 10 ms pieces of samples[from, to) have an RMS above `threshold`.
inline size_t LoudPieces(const std::vector<int16_t>& samples, size_t from, size_t to, double threshold) {
  size_t loud = 0;
  for (size_t at = from; at + MonitorRecorder::kFragment <= to; at += MonitorRecorder::kFragment) {
    loud += PieceRms(samples, at) > threshold ? 1 : 0;
  }
  return loud;
}

}  // namespace melvox::testing

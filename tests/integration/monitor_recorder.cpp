#include "integration/monitor_recorder.h"

#include <chrono>

#include <pulse/error.h>
#include <pulse/simple.h>

namespace melvox::testing {

MonitorRecorder::~MonitorRecorder() { Stop(); }

bool MonitorRecorder::Start(std::string& error) {
  const pa_sample_spec sample_format{PA_SAMPLE_S16LE, kRate, 1};
  // 10 ms fragments, so what is recorded arrives promptly.
  const pa_buffer_attr attr{static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
                            static_cast<uint32_t>(-1), kRate / 100 * 2};
  int code = 0;
  stream_ = pa_simple_new(nullptr, "melvox-test", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor", &sample_format,
                          nullptr, &attr, &code);
  if (stream_ == nullptr) {
    error = pa_strerror(code);
    return false;
  }
  thread_ = std::thread([this] { Loop(); });
  return true;
}

void MonitorRecorder::Loop() {
  int16_t fragment[kRate / 100];
  while (!stop_.load()) {
    int code = 0;
    if (pa_simple_read(stream_, fragment, sizeof fragment, &code) < 0) break;
    std::lock_guard<std::mutex> lock(mutex_);
    samples_.insert(samples_.end(), fragment, fragment + kRate / 100);
  }
}

void MonitorRecorder::Stop() {
  if (stream_ == nullptr) return;
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  pa_simple_free(stream_);
  stream_ = nullptr;
}

size_t MonitorRecorder::Count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return samples_.size();
}

std::vector<int16_t> MonitorRecorder::Samples() {
  std::lock_guard<std::mutex> lock(mutex_);
  return samples_;
}

bool MonitorRecorder::WaitFor(size_t n) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (Count() < n) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace melvox::testing

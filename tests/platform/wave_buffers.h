// What the wave-output device tests share (the clocked devices here, PulseAudio in the integration
// tests): buffers with distinct contents, and the done callbacks in arrival order with their times.
#pragma once

#include <chrono>
#include <mutex>
#include <vector>

#include "platform/event.h"
#include "platform/wave_out.h"

namespace melvox::testing {

class WaveBuffers {
 public:
  using Clock = std::chrono::steady_clock;
  struct Done {
    WAVEHDR* header;
    Clock::time_point at;
  };

  WaveBuffers(size_t count, uint32_t bytes) : data_(count, std::vector<char>(bytes)), headers_(count) {
    for (size_t i = 0; i < count; ++i) {
      for (uint32_t b = 0; b < bytes; ++b) data_[i][b] = static_cast<char>(i * 31 + b);
      headers_[i].lpData = data_[i].data();
      headers_[i].dwBufferLength = bytes;
    }
  }
  platform::WaveOutCallback Callback() {
    return [this](uint32_t message, WAVEHDR* header) {
      if (message != WOM_DONE) return;
      std::lock_guard<std::mutex> lock(mutex_);
      done_.push_back({header, Clock::now()});
      signal_.Set();
    };
  }
  std::vector<Done> DoneList() {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_;
  }
  // Waits until n buffers came back or 5 s passed.
  bool WaitDone(size_t n) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (DoneList().size() < n) {
      if (Clock::now() > deadline) return false;
      signal_.Wait(20);
    }
    return true;
  }
  WAVEHDR* Header(size_t i) { return &headers_[i]; }
  MMRESULT PrepareAndWrite(platform::WaveOut& device, size_t i) {
    if (const MMRESULT r = device.Prepare(Header(i))) return r;
    return device.Write(Header(i));
  }

 private:
  std::vector<std::vector<char>> data_;
  std::vector<WAVEHDR> headers_;
  std::mutex mutex_;
  std::vector<Done> done_;
  platform::Event signal_{platform::EventMode::kAutoReset};
};

}  // namespace melvox::testing

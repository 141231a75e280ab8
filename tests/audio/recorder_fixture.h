// What the recording tests share: the test input device in use with message boxes captured, owners
// and listeners that keep the levels they are told, and a reader of the recorded file's parts.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/recording_owner.h"
#include "melvox/sound_recorder.h"
#include "platform/message_box.h"
#include "platform/test_wave_in.h"
#include "support/temp_dir.h"

namespace melvox::testing {

// Puts a test input device in use and captures message boxes for the lifetime of the object.
class TestInputScope {
 public:
  explicit TestInputScope(double speed, uint32_t chunk_bytes = 442)
      : system_(platform::TestWaveInSystem::Make(speed, chunk_bytes)) {
    platform::SetWaveInSystem(system_);
    previous_ = platform::SetMessageBoxHandler([this](const std::string& text, const std::string&) {
      std::lock_guard<std::mutex> lock(mutex_);
      boxes_.push_back(text);
    });
  }
  ~TestInputScope() {
    platform::SetMessageBoxHandler(previous_);
    platform::SetWaveInSystem(nullptr);
  }
  platform::TestWaveInSystem& Device() { return *system_; }
  std::vector<std::string> Boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
  }

 private:
  std::shared_ptr<platform::TestWaveInSystem> system_;
  platform::MessageBoxHandler previous_;
  std::mutex mutex_;
  std::vector<std::string> boxes_;
};

// Keeps every level it is told, with the time it arrived; works as an engine's owner and as a
// recorder's listener.
class LevelLog : public IRecordingOwner, public IRecorderListener {
 public:
  using Clock = std::chrono::steady_clock;

  void OnLevel(int32_t value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.push_back(value);
    times_.push_back(Clock::now());
  }
  std::vector<int32_t> Values() {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
  }
  std::vector<Clock::time_point> Times() {
    std::lock_guard<std::mutex> lock(mutex_);
    return times_;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_.size();
  }
  // Waits until at least n levels arrived (false after 5 s).
  bool WaitFor(size_t n) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Count() < n) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<int32_t> values_;
  std::vector<Clock::time_point> times_;
};

// A recorded file split into its 44-byte header and its samples.
struct RecordedFile {
  std::vector<uint8_t> header;
  std::vector<uint8_t> data;
  size_t size = 0;
};

inline RecordedFile ReadRecording(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  RecordedFile file;
  file.size = bytes.size();
  const size_t header = bytes.size() < 44 ? bytes.size() : 44;
  file.header.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(header));
  file.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(header), bytes.end());
  return file;
}

// The header of a recording holding data_bytes of samples, byte for byte: RIFF/WAVE, a 16-byte
// "fmt " chunk of PCM mono 22050 Hz 16-bit, then the "data" chunk's header.
inline std::vector<uint8_t> ExpectedHeader(uint32_t data_bytes) {
  auto le32 = [](uint32_t v) {
    return std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                                static_cast<uint8_t>(v >> 24)};
  };
  std::vector<uint8_t> header;
  auto add = [&](const std::vector<uint8_t>& part) { header.insert(header.end(), part.begin(), part.end()); };
  add({'R', 'I', 'F', 'F'});
  add(le32(data_bytes + 36));
  add({'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  add(le32(16));
  add({1, 0, 1, 0});   // PCM, 1 channel
  add(le32(22050));    // samples per second
  add(le32(44100));    // bytes per second
  add({2, 0, 16, 0});  // block align 2, 16 bits
  add({'d', 'a', 't', 'a'});
  add(le32(data_bytes));
  return header;
}

}  // namespace melvox::testing

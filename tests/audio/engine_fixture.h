// What the playback tests share: the test device in use with message boxes captured, an owner or
// listener that counts natural ends, a node that records reported positions, and sources of numbered frames.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/playback_engine.h"
#include "melvox/sound_player.h"
#include "platform/event.h"
#include "platform/message_box.h"
#include "platform/test_wave_out.h"
#include "sound/counted_ptr.h"
#include "sound/memory_source.h"

namespace melvox::testing {

// Puts a test device in use and captures message boxes for the lifetime of the object.
class TestDeviceScope {
 public:
  explicit TestDeviceScope(double speed) : system_(platform::TestWaveOutSystem::Make(speed)) {
    platform::SetWaveOutSystem(system_);
    previous_ = platform::SetMessageBoxHandler([this](const std::string& text, const std::string& caption) {
      std::lock_guard<std::mutex> lock(mutex_);
      boxes_.push_back(caption.empty() ? text : caption + ": " + text);
    });
  }
  ~TestDeviceScope() {
    platform::SetMessageBoxHandler(previous_);
    platform::SetWaveOutSystem(nullptr);
  }
  platform::TestWaveOutSystem& Device() { return *system_; }
  std::vector<std::string> Boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
  }

 private:
  std::shared_ptr<platform::TestWaveOutSystem> system_;
  platform::MessageBoxHandler previous_;
  std::mutex mutex_;
  std::vector<std::string> boxes_;
};

// Counts natural ends told to an engine's owner or to a player's listener; runs an optional action
// inside the notification (on the worker thread).
class CountingOwner : public IPlaybackOwner, public IPlayerListener {
 public:
  void OnPlaybackEnded() override {
    if (action) action();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++ended_;
      ended_at_ = std::chrono::steady_clock::now();
    }
    ended_event_.Set();
  }
  // Waits up to timeout_ms for the next natural end.
  bool WaitEnded(int64_t timeout_ms) { return ended_event_.Wait(timeout_ms); }
  int Ended() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
  }
  std::chrono::steady_clock::time_point EndedAt() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_at_;
  }

  std::function<void()> action;

 private:
  std::mutex mutex_;
  int ended_ = 0;
  std::chrono::steady_clock::time_point ended_at_;
  platform::Event ended_event_{platform::EventMode::kAutoReset};
};

// A node between engine and source that records every position reported up the chain.
class PositionRecorder : public CSoundNode {
 public:
  explicit PositionRecorder(CSoundNode* source) : CSoundNode(source) {}
  void SetPosition(int32_t frame) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      positions_.push_back(frame);
    }
    CSoundNode::SetPosition(frame);
  }
  std::vector<int32_t> Positions() {
    std::lock_guard<std::mutex> lock(mutex_);
    return positions_;
  }

 private:
  std::mutex mutex_;
  std::vector<int32_t> positions_;
};

// A node that passes frames through but says its length is unknown.
class UnknownLength : public CSoundNode {
 public:
  explicit UnknownLength(CSoundNode* source) : CSoundNode(source) {}
  int32_t GetLength() override { return -1; }
};

// 16-bit mono at rate whose frame i holds the value i (frames < 32768), so a played frame names itself.
inline CountedPtr<CSoundSource> NumberedFrames(uint32_t frames, uint32_t rate = 22050) {
  const WAVEFORMATEX format = MakePcmFormat(1, rate, 16);
  std::vector<int16_t> samples(frames);
  for (uint32_t i = 0; i < frames; ++i) samples[i] = static_cast<int16_t>(i);
  return MakeMemorySource(std::make_unique<CWave>(format, frames * 2, samples.data()));
}

// What the engine plays of a 16-bit mono sound for the range start..end: from start, whole buffers
// until one crosses end, never past the sound.
inline std::vector<int16_t> PlayedFrames(const std::vector<int16_t>& sound, uint32_t start, uint32_t end) {
  constexpr uint32_t kFramesPerBuffer = CPlaybackEngine::kBufferBytes / 2;
  const uint32_t buffers = end > start ? (end - start + kFramesPerBuffer - 1) / kFramesPerBuffer : 0;
  const auto length = static_cast<uint32_t>(sound.size());
  const uint32_t stop = std::min<uint64_t>(length, uint64_t{start} + uint64_t{buffers} * kFramesPerBuffer);
  if (start >= stop) return {};
  return std::vector<int16_t>(sound.begin() + start, sound.begin() + stop);
}

// The frames the device received, as values.
inline std::vector<int16_t> AsFrames(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> frames(bytes.size() / 2);
  for (size_t i = 0; i < frames.size(); ++i) {
    frames[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return frames;
}

// Waits up to timeout_ms for the engine's worker thread to end.
inline bool WaitIdle(CPlaybackEngine& engine, int64_t timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (engine.IsRunning()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace melvox::testing

// What the playback and recording tests share: a test device in use with message boxes collected,
// owners and listeners that keep what they are told, sources of numbered frames and the recorded file.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/playback_engine.h"
#include "audio/recording_owner.h"
#include "melvox/sound_player.h"
#include "melvox/sound_recorder.h"
#include "platform/event.h"
#include "platform/test_wave_in.h"
#include "platform/test_wave_out.h"
#include "sound/memory_source.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/wav_bytes.h"

namespace melvox::testing {

using Clock = std::chrono::steady_clock;

// Puts a test output or input device in use and collects message boxes while it lives.
template <typename System>
class DeviceScope {
 public:
  template <typename... Args>
  explicit DeviceScope(Args... args) : system_(System::Make(args...)) {
    Use(system_);
  }
  ~DeviceScope() { Use(std::shared_ptr<System>()); }
  System& Device() { return *system_; }
  std::vector<std::string> Boxes() const { return boxes_.Entries(); }

 private:
  static void Use(std::shared_ptr<platform::TestWaveOutSystem> s) { platform::SetWaveOutSystem(std::move(s)); }
  static void Use(std::shared_ptr<platform::TestWaveInSystem> s) { platform::SetWaveInSystem(std::move(s)); }

  std::shared_ptr<System> system_;
  MessageBoxes boxes_;
};
using TestDeviceScope = DeviceScope<platform::TestWaveOutSystem>;
using TestInputScope = DeviceScope<platform::TestWaveInSystem>;

// Counts natural ends told to an engine's owner or a player's listener; runs `action` inside the
// notification (on the worker thread).
class CountingOwner : public IPlaybackOwner, public IPlayerListener {
 public:
  void OnPlaybackEnded() override {
    if (action) action();
    ends_.Add(Clock::now());
    ended_.Set();
  }
  // Waits up to timeout_ms for the next natural end.
  bool WaitEnded(int64_t timeout_ms) { return ended_.Wait(timeout_ms); }
  int Ended() const { return static_cast<int>(ends_.Count()); }
  Clock::time_point EndedAt() const { return ends_.Entries().back(); }

  std::function<void()> action;

 private:
  Log<Clock::time_point> ends_;
  platform::Event ended_{platform::EventMode::kAutoReset};
};

// Keeps every level it is told and when; an engine's owner and a recorder's listener.
struct Level {
  int32_t value;
  Clock::time_point at;
};
class LevelLog : public IRecordingOwner, public IRecorderListener, public Log<Level> {
 public:
  void OnLevel(int32_t value) override { Add({value, Clock::now()}); }
  std::vector<int32_t> Values() const {
    std::vector<int32_t> values;
    for (const Level& level : Entries()) values.push_back(level.value);
    return values;
  }
};

// Samples 0, 1, 2, ... (wrapping at 16 bits), so that a played or recorded sample names its place.
inline std::vector<int16_t> Numbered(size_t count) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(i);
  return samples;
}

// 16-bit mono at rate holding Numbered(frames).
inline CountedPtr<CSoundSource> NumberedFrames(uint32_t frames, uint32_t rate = 22050) {
  const std::vector<int16_t> samples = Numbered(frames);
  return MakeMemorySource(std::make_unique<CWave>(MakePcmFormat(1, rate, 16), frames * 2, samples.data()));
}

// What the engine plays of a 16-bit mono sound for the range start..end: from start, whole buffers
// until one crosses end, never past the sound.
inline std::vector<int16_t> PlayedFrames(const std::vector<int16_t>& sound, uint32_t start, uint32_t end) {
  constexpr uint32_t kFramesPerBuffer = CPlaybackEngine::kBufferBytes / 2;
  const uint32_t buffers = end > start ? (end - start + kFramesPerBuffer - 1) / kFramesPerBuffer : 0;
  const auto stop = std::min<uint64_t>(sound.size(), uint64_t{start} + uint64_t{buffers} * kFramesPerBuffer);
  if (start >= stop) return {};
  return std::vector<int16_t>(sound.begin() + start, sound.begin() + static_cast<std::ptrdiff_t>(stop));
}

// Little-endian 16-bit samples from bytes (what a test device received, what a recording holds).
inline std::vector<int16_t> AsFrames(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> frames(bytes.size() / 2);
  for (size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return frames;
}

inline bool WaitIdle(CPlaybackEngine& engine, int64_t timeout_ms) {
  return WaitUntil([&] { return !engine.IsRunning(); }, timeout_ms);
}

// A recorded file split into its 44-byte header and its samples.
struct RecordedFile {
  Bytes header, data;
};
inline RecordedFile ReadRecording(const std::string& path) {
  const Bytes bytes = ReadFileBytes(path);
  const auto header = static_cast<std::ptrdiff_t>(std::min<size_t>(bytes.size(), 44));
  return {Bytes(bytes.begin(), bytes.begin() + header), Bytes(bytes.begin() + header, bytes.end())};
}

// The header of a recording holding data_bytes of samples: PCM mono 22050 Hz 16-bit, byte for byte as
// the WAV builder writes it.
inline Bytes ExpectedHeader(uint32_t data_bytes) {
  Bytes file = PcmWav16(std::vector<int16_t>(data_bytes / 2), 22050);
  file.resize(44);
  return file;
}

}  // namespace melvox::testing

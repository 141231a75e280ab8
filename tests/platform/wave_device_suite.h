// What every wave-output and wave-input backend promises, checked the same way on each: the null and
// test devices in tests/platform, PulseAudio in tests/integration.
#pragma once

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/wave_in.h"
#include "platform/wave_out.h"
#include "support/wait.h"

namespace melvox::testing {

using Ms = std::chrono::duration<double, std::milli>;

// Buffers, and every buffer a device hands back, in arrival order.
class WaveBuffers {
 public:
  using Clock = std::chrono::steady_clock;
  struct Return {
    WAVEHDR* header;
    uint32_t bytes;  // dwBytesRecorded
    Clock::time_point at;
  };

  WaveBuffers(size_t count, uint32_t bytes) : data_(count, std::vector<char>(bytes)), headers_(count) {
    for (size_t i = 0; i < count; ++i) {
      headers_[i].lpData = data_[i].data();
      headers_[i].dwBufferLength = bytes;
    }
  }
  // Serves both directions: output and input devices call back alike (WOM_DONE, WIM_DATA).
  platform::WaveOutCallback Callback() {
    return [this](uint32_t, WAVEHDR* header) { returns_.Add({header, header->dwBytesRecorded, Clock::now()}); };
  }
  std::vector<Return> Returns() const { return returns_.Entries(); }
  bool WaitReturns(size_t n) const { return returns_.WaitFor(n); }
  WAVEHDR* Header(size_t i) { return &headers_[i]; }
  MMRESULT Write(platform::WaveOut& device, size_t i) {
    if (const MMRESULT r = device.Prepare(Header(i))) return r;
    return device.Write(Header(i));
  }
  MMRESULT Add(platform::WaveIn& device, size_t i) {
    if (const MMRESULT r = device.Prepare(Header(i))) return r;
    return device.AddBuffer(Header(i));
  }

 private:
  std::vector<std::vector<char>> data_;
  std::vector<WAVEHDR> headers_;
  Log<Return> returns_;
};

// How an output backend keeps time: its clock runs `speed` times real time; a buffer comes back at most
// `early_ms` before and `late_ms` after its last frame is due; the position may trail the frames
// consumed by `lag_frames` (what the sink still holds).
struct Pace {
  double speed, early_ms, late_ms;
  uint32_t lag_frames;
};

// 22050 Hz 16-bit mono: a 2048-byte output buffer lasts 46.4 ms, a 1024-byte input buffer 23.2 ms.
inline const WAVEFORMATEX kMono16 = MakePcmFormat(1, 22050, 16);
constexpr double kOutBufferMs = 1024 * 1000.0 / 22050;
constexpr double kInBufferMs = kOutBufferMs / 2;

// Every backend takes the PCM formats of IsPlayableFormat and refuses the others.
template <typename System, typename Device>
void ExpectFormatsChecked(System& system) {
  WAVEFORMATEX wrong_align = kMono16;
  wrong_align.nBlockAlign = 4;
  WAVEFORMATEX adpcm = kMono16;
  adpcm.wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  const std::pair<WAVEFORMATEX, bool> cases[] = {
      {MakePcmFormat(1, 8000, 8), true},
      {MakePcmFormat(2, 48000, 16), true},
      {MakePcmFormat(1, 22050, 24), false},
      {MakePcmFormat(0, 22050, 16), false},
      {MakePcmFormat(1, 0, 16), false},
      {wrong_align, false},
      {adpcm, false},
  };
  for (const auto& [format, playable] : cases) {
    std::unique_ptr<Device> device;
    EXPECT_EQ(system.Open(format, nullptr, device), playable ? MMSYSERR_NOERROR : WAVERR_BADFORMAT)
        << format.nChannels << " ch, " << format.nSamplesPerSec << " Hz, " << format.wBitsPerSample << " bits";
    EXPECT_EQ(device != nullptr, playable);
  }
}

// Header rules, pause, reset, order, pace, position and starvation of an output device. The header
// rules are the same code in both directions (WaveQueue), so they are checked here only.
inline void ExpectWaveOutContract(platform::WaveOutSystem& system, const Pace& pace) {
  ExpectFormatsChecked<platform::WaveOutSystem, platform::WaveOut>(system);
  const auto sleep = [&](double device_ms) {
    std::this_thread::sleep_for(std::chrono::microseconds(std::lround(1000 * device_ms / pace.speed)));
  };
  WaveBuffers buffers(6, 2048);
  std::unique_ptr<platform::WaveOut> device;
  ASSERT_EQ(system.Open(kMono16, buffers.Callback(), device), MMSYSERR_NOERROR);
  ASSERT_EQ(device->Pause(), MMSYSERR_NOERROR);  // nothing comes back while the rules are checked
  EXPECT_EQ(device->Write(buffers.Header(0)), WAVERR_UNPREPARED);
  EXPECT_EQ(device->Prepare(nullptr), MMSYSERR_INVALPARAM);
  buffers.Header(5)->dwBufferLength = 2047;  // half a frame at the end
  ASSERT_EQ(device->Prepare(buffers.Header(5)), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Write(buffers.Header(5)), MMSYSERR_INVALPARAM);
  buffers.Header(5)->dwBufferLength = 2048;
  for (size_t i = 0; i < 4; ++i) ASSERT_EQ(buffers.Write(*device, i), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Write(buffers.Header(0)), WAVERR_STILLPLAYING);
  EXPECT_EQ(device->Unprepare(buffers.Header(0)), WAVERR_STILLPLAYING);
  EXPECT_EQ(device->Close(), WAVERR_STILLPLAYING);
  sleep(100);
  // The position, or UINT32_MAX when the device cannot tell it.
  const auto position = [&device] {
    uint32_t frames = 0;
    return device->GetPosition(frames) == MMSYSERR_NOERROR ? frames : UINT32_MAX;
  };
  EXPECT_EQ(position(), 0u) << "a paused device plays nothing";
  EXPECT_TRUE(buffers.Returns().empty());

  // Paused again while playing, the position and the returns freeze.
  ASSERT_EQ(device->Restart(), MMSYSERR_NOERROR);
  ASSERT_TRUE(buffers.WaitReturns(2));
  ASSERT_EQ(device->Pause(), MMSYSERR_NOERROR);
  const uint32_t frozen = position();
  EXPECT_GE(frozen, 1024u);
  const size_t returned = buffers.Returns().size();
  sleep(200);
  EXPECT_EQ(position(), frozen) << "the position moved while paused";
  EXPECT_EQ(buffers.Returns().size(), returned) << "buffers came back while paused";

  // A reset returns every queued buffer in order before it returns (waiting at most for a server's
  // reply), sets the position to 0 and leaves the device paused.
  const auto before_reset = WaveBuffers::Clock::now();
  ASSERT_EQ(device->Reset(), MMSYSERR_NOERROR);
  EXPECT_LT(Ms(WaveBuffers::Clock::now() - before_reset).count(), 100.0);
  std::vector<WaveBuffers::Return> returns = buffers.Returns();
  ASSERT_EQ(returns.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(returns[i].header, buffers.Header(i)) << "out of order at " << i;
  EXPECT_EQ(position(), 0u);
  EXPECT_EQ(device->Unprepare(buffers.Header(0)), MMSYSERR_NOERROR);
  EXPECT_FALSE(buffers.Header(0)->dwFlags & WHDR_PREPARED);

  // Restarted, each buffer comes back once, in order, when its last frame is due (too early means
  // fake notifications), and the position counts from the reset. Had the reset left the device
  // playing, the buffers would come back early.
  for (size_t i = 0; i < 6; ++i) ASSERT_EQ(buffers.Write(*device, i), MMSYSERR_NOERROR);
  auto start = WaveBuffers::Clock::now();
  ASSERT_EQ(device->Restart(), MMSYSERR_NOERROR);
  ASSERT_TRUE(buffers.WaitReturns(10));
  returns = buffers.Returns();
  ASSERT_EQ(returns.size(), 10u) << "one return per buffer";
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(returns[4 + i].header, buffers.Header(i)) << "out of order at " << i;
    const double due = (i + 1) * kOutBufferMs / pace.speed;
    EXPECT_GE(Ms(returns[4 + i].at - start).count(), due - pace.early_ms) << "buffer " << i;
    EXPECT_LE(Ms(returns[4 + i].at - start).count(), due + pace.late_ms) << "buffer " << i;
    EXPECT_EQ(buffers.Header(i)->dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  }
  EXPECT_LE(position(), 6u * 1024u);
  EXPECT_GE(position(), 6u * 1024u - pace.lag_frames);

  // Starved for a while, a lone buffer starts by itself and takes its whole length: a device whose
  // clock ran on while it was empty returns it at once, one that waits for more frames (a server's
  // default prebuffer) never.
  sleep(300);
  start = WaveBuffers::Clock::now();
  ASSERT_EQ(buffers.Write(*device, 0), MMSYSERR_NOERROR);
  ASSERT_TRUE(buffers.WaitReturns(11)) << "a lone buffer never started";
  const double lone_ms = Ms(buffers.Returns()[10].at - start).count();
  EXPECT_GE(lone_ms, kOutBufferMs / pace.speed - pace.early_ms) << "it came back before it could have played";
  EXPECT_LE(lone_ms, kOutBufferMs / pace.speed + pace.late_ms);
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Write(buffers.Header(0)), MMSYSERR_INVALHANDLE);
}

// Pace, stop and reset of an input device whose clock runs `speed` times real time, recording for
// `fill` buffers' worth of input (a whole number and a half, so that the stop finds one half-filled).
inline void ExpectWaveInContract(platform::WaveInSystem& system, double speed, double fill) {
  ExpectFormatsChecked<platform::WaveInSystem, platform::WaveIn>(system);
  WaveBuffers buffers(40, 1024);
  std::unique_ptr<platform::WaveIn> device;
  ASSERT_EQ(system.Open(kMono16, buffers.Callback(), device), MMSYSERR_NOERROR);
  for (size_t i = 0; i < 40; ++i) ASSERT_EQ(buffers.Add(*device, i), MMSYSERR_NOERROR);

  const double buffer_ms = kInBufferMs / speed;
  const auto start = WaveBuffers::Clock::now();
  ASSERT_EQ(device->Start(), MMSYSERR_NOERROR);
  std::this_thread::sleep_for(std::chrono::microseconds(std::lround(fill * 1000 * buffer_ms)));
  const double before_stop = Ms(WaveBuffers::Clock::now() - start).count();
  ASSERT_EQ(device->Stop(), MMSYSERR_NOERROR);
  const double after_stop = Ms(WaveBuffers::Clock::now() - start).count();
  std::vector<WaveBuffers::Return> returns = buffers.Returns();
  ASSERT_GE(returns.size(), 1u);
  // With a server's default fragment size the first input comes after 1.5 s, in lumps; with 1024 bytes
  // after about 30 ms. 200 ms leaves room for a loaded machine.
  EXPECT_LT(Ms(returns.front().at - start).count(), std::min(fill, 1.0) * buffer_ms + 200.0);
  // A full buffer for every buffer's worth of time recorded, and the part-filled one of the stop; a
  // server may hold back a fragment or two of its start-up.
  EXPECT_GE(returns.size(), std::floor(before_stop / buffer_ms) - 1);
  EXPECT_LE(returns.size(), std::floor(after_stop / buffer_ms) + 1);
  for (size_t i = 0; i < returns.size(); ++i) {
    EXPECT_EQ(returns[i].header, buffers.Header(i)) << "out of order at " << i;
    EXPECT_TRUE(i + 1 == returns.size() || returns[i].bytes == 1024u) << "buffer " << i << " came back part-filled";
  }
  EXPECT_GT(returns.back().bytes, 0u) << "a stop returns the part-filled buffer, and only that one";
  EXPECT_LT(returns.back().bytes, 1024u);
  EXPECT_EQ(returns.back().bytes % 2, 0u) << "whole frames";
  EXPECT_EQ(device->Close(), WAVERR_STILLPLAYING) << "the empty buffers stay queued";

  // Started again, then reset: every queued buffer comes back in order before Reset returns, the one
  // being filled with its bytes, the others with 0.
  const size_t stopped = returns.size();
  ASSERT_EQ(device->Start(), MMSYSERR_NOERROR);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  ASSERT_EQ(device->Reset(), MMSYSERR_NOERROR);
  returns = buffers.Returns();
  ASSERT_EQ(returns.size(), 40u);
  EXPECT_GT(returns[stopped].bytes, 0u) << "the input after the restart went into the next buffer";
  for (size_t i = stopped; i < 40; ++i) {
    EXPECT_EQ(returns[i].header, buffers.Header(i)) << "out of order at " << i;
    EXPECT_EQ(returns[i].bytes % 2, 0u);
  }
  EXPECT_EQ(returns.back().bytes, 0u);
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
}

// Input that finds no buffer (a reader that fell behind) waits for the next buffers and fills them at
// once instead of being lost: after 300 ms with one 23 ms buffer, ten more fill in far less than their
// 232 ms of real time. For a device at real time.
inline void ExpectWaitingInputFillsLateBuffers(platform::WaveInSystem& system) {
  WaveBuffers buffers(11, 1024);
  std::unique_ptr<platform::WaveIn> device;
  ASSERT_EQ(system.Open(kMono16, buffers.Callback(), device), MMSYSERR_NOERROR);
  ASSERT_EQ(buffers.Add(*device, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(device->Start(), MMSYSERR_NOERROR);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto added = WaveBuffers::Clock::now();
  for (size_t i = 1; i < 11; ++i) ASSERT_EQ(buffers.Add(*device, i), MMSYSERR_NOERROR);
  ASSERT_TRUE(buffers.WaitReturns(11));
  EXPECT_LT(Ms(buffers.Returns().back().at - added).count(), 100.0) << "the waiting input was lost";
  EXPECT_EQ(device->Reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
}

}  // namespace melvox::testing

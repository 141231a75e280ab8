// The test input device: a clocked input device whose clock may run faster (or slower) than real time,
// which delivers scripted samples, counts the bytes it returned, and can be told to fail any
// operation. Tests put it in use with SetWaveInSystem.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clocked_wave_in.h"
#include "platform/test_device_registry.h"
#include "platform/wave_in.h"

namespace melvox::platform {

// Call counts, injected failures (InjectFailure), LoseDevices and the open devices come from the
// registry.
//
// Threading: every operation may be called from any thread. Lock order: the registry's lock, then a
// device's own lock, then mutex_ (a device produces input and reports returned buffers with its lock
// held).
class TestWaveInSystem final : public WaveInSystem,
                               public TestDeviceRegistry<ClockedWaveInHooks, ClockedWaveIn, WaveInOp>,
                               public std::enable_shared_from_this<TestWaveInSystem> {
 public:
  // speed multiplies the real-time rate of the devices it opens (100: a second of input in 10 ms;
  // 0.01: a 1024-byte buffer of 22050 Hz 16-bit mono in 2.3 s). chunk_bytes is the most input handed
  // over at once (442 by default: chunks that do not divide a buffer, as a sound server's).
  static std::shared_ptr<TestWaveInSystem> Make(double speed, uint32_t chunk_bytes = 442);

  MMRESULT Open(const WAVEFORMATEX& format, WaveInCallback callback, std::unique_ptr<WaveIn>& device) override;
  const char* Name() const override { return "test"; }

  // The input of every device opened from now on: these samples (16-bit, little-endian), from the
  // device's first start on, then silence.
  void Script(const std::vector<int16_t>& samples);

  // The bytes of every buffer returned by devices of this system (dwBytesRecorded of each, the partial
  // buffers of stops and resets included) since it was made.
  uint64_t ReturnedBytes() const;
  // When the device opened last was first started (the moment its first byte of input was due); the
  // clock's epoch when it was not started or none is open.
  ClockedWaveIn::Clock::time_point LastStartedAt() const;

  // ClockedWaveInHooks.
  void Produce(uint64_t offset, char* out, uint32_t bytes) override;
  void OnReturn(const WAVEHDR& header) override;

 private:
  TestWaveInSystem(double speed, uint32_t chunk_bytes) : speed_(speed), chunk_bytes_(chunk_bytes) {}

  const double speed_;
  const uint32_t chunk_bytes_;
  mutable std::mutex mutex_;  // guards everything below
  std::vector<uint8_t> script_;
  uint64_t returned_bytes_ = 0;
};

}  // namespace melvox::platform

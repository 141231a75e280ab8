// The test input device: a clocked input device whose clock may run faster (or slower) than real time,
// which delivers scripted samples, counts the bytes it returned, and can be told to fail any
// operation. Tests put it in use with SetWaveInSystem.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clocked_wave_in.h"
#include "platform/injected_failures.h"
#include "platform/wave_in.h"

namespace melvox::platform {

// Threading: every operation may be called from any thread.
class TestWaveInSystem final : public WaveInSystem,
                               public ClockedWaveInHooks,
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

  // From the `after`-th call of op on (0: the next one), `count` calls fail with result; the calls in
  // between succeed. Applies to every device of this system.
  void InjectFailure(WaveInOp op, MMRESULT result, uint32_t after = 0, uint32_t count = 1);
  // Every open device behaves as if the sound server went away (see ClockedWaveIn::Lose).
  void LoseDevices();

  // The bytes of every buffer returned by devices of this system (dwBytesRecorded of each, the partial
  // buffers of stops and resets included) since it was made.
  uint64_t ReturnedBytes() const;
  // Calls of op so far, failed ones included.
  uint32_t Calls(WaveInOp op) const;
  // Devices open now.
  uint32_t LiveDevices() const;
  // The format of the last successful open.
  WAVEFORMATEX LastFormat() const;
  // When the device opened last was first started (the moment its first byte of input was due); the
  // clock's epoch when it was not started or none is open.
  ClockedWaveIn::Clock::time_point LastStartedAt() const;

  // ClockedWaveInHooks.
  MMRESULT BeforeCall(WaveInOp op) override;
  void Produce(uint64_t offset, char* out, uint32_t bytes) override;
  void OnReturn(const WAVEHDR& header) override;
  void OnDeviceCreated(ClockedWaveIn* device) override;
  void OnDeviceDestroyed(ClockedWaveIn* device) override;

 private:
  TestWaveInSystem(double speed, uint32_t chunk_bytes) : speed_(speed), chunk_bytes_(chunk_bytes) {}

  static constexpr size_t kOps = static_cast<size_t>(WaveInOp::kClose) + 1;

  const double speed_;
  const uint32_t chunk_bytes_;
  InjectedFailures failures_{kOps};
  // Lock order: devices_mutex_, then a device's own lock, then mutex_ (a device produces input and
  // reports returned buffers with its lock held; LoseDevices holds devices_mutex_ while it calls them).
  mutable std::mutex devices_mutex_;
  std::vector<ClockedWaveIn*> devices_;
  mutable std::mutex mutex_;  // guards everything below
  std::vector<uint8_t> script_;
  uint64_t returned_bytes_ = 0;
  WAVEFORMATEX last_format_{};
};

}  // namespace melvox::platform

// The test device: a clocked output device whose clock may run faster than real time, which keeps
// every byte written and can be told to fail any operation. Tests put it in use with SetWaveOutSystem.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clocked_wave_out.h"
#include "platform/test_device_registry.h"
#include "platform/wave_out.h"

namespace melvox::platform {

// Call counts, injected failures (InjectFailure), LoseDevices and the open devices come from the
// registry.
//
// Threading: every operation may be called from any thread. Lock order: the registry's lock, then a
// device's own lock, then mutex_ (a device's Write holds its lock while it reports the bytes).
class TestWaveOutSystem final : public WaveOutSystem,
                                public TestDeviceRegistry<ClockedWaveOutHooks, ClockedWaveOut, WaveOp>,
                                public std::enable_shared_from_this<TestWaveOutSystem> {
 public:
  // speed multiplies the real-time rate of the devices it opens (100: a second of sound in 10 ms).
  static std::shared_ptr<TestWaveOutSystem> Make(double speed);

  MMRESULT Open(const WAVEFORMATEX& format, WaveOutCallback callback, std::unique_ptr<WaveOut>& device) override;
  const char* Name() const override { return "test"; }

  // Every byte written through devices of this system, in order (buffers dropped by a reset
  // included), since it was made or last cleared.
  std::vector<uint8_t> Written() const;
  void ClearWritten();
  // Frames consumed by the device opened last, while it is open; 0 otherwise.
  uint64_t FramesConsumedByLast() const;

  // ClockedWaveOutHooks.
  void OnWrite(const char* data, uint32_t bytes) override;

 private:
  explicit TestWaveOutSystem(double speed) : speed_(speed) {}

  const double speed_;
  mutable std::mutex mutex_;  // guards everything below
  std::vector<uint8_t> written_;
};

}  // namespace melvox::platform

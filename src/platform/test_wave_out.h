// The test device: a clocked output device whose clock may run faster than real time, which keeps
// every byte written and can be told to fail any operation. Tests put it in use with SetWaveOutSystem.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/clocked_wave_out.h"
#include "platform/injected_failures.h"
#include "platform/wave_out.h"

namespace melvox::platform {

// Threading: every operation may be called from any thread.
class TestWaveOutSystem final : public WaveOutSystem,
                                public ClockedWaveOutHooks,
                                public std::enable_shared_from_this<TestWaveOutSystem> {
 public:
  // speed multiplies the real-time rate of the devices it opens (100: a second of sound in 10 ms).
  static std::shared_ptr<TestWaveOutSystem> Make(double speed);

  MMRESULT Open(const WAVEFORMATEX& format, WaveOutCallback callback, std::unique_ptr<WaveOut>& device) override;
  const char* Name() const override { return "test"; }

  // From the `after`-th call of op on (0: the next one), `count` calls fail with result; the calls in
  // between succeed. Applies to every device of this system; a new rule for op replaces the old one.
  void InjectFailure(WaveOp op, MMRESULT result, uint32_t after = 0, uint32_t count = 1);
  void ClearFailures();
  // Every open device behaves as if the sound server went away (see ClockedWaveOut::Lose).
  void LoseDevices();

  // Every byte written through devices of this system, in order (buffers dropped by a reset
  // included), since it was made or last cleared.
  std::vector<uint8_t> Written() const;
  void ClearWritten();
  // When the first byte was written since made or cleared.
  std::optional<std::chrono::steady_clock::time_point> FirstWriteTime() const;
  // Calls of op so far, failed ones included.
  uint32_t Calls(WaveOp op) const;
  // Devices opened so far, and devices open now.
  uint32_t OpenCount() const;
  uint32_t LiveDevices() const;
  // The format of the last successful open.
  WAVEFORMATEX LastFormat() const;
  // Frames consumed by the device opened last, while it is open; 0 otherwise.
  uint64_t FramesConsumedByLast() const;

  // ClockedWaveOutHooks.
  MMRESULT BeforeCall(WaveOp op) override;
  void OnWrite(const char* data, uint32_t bytes) override;
  void OnDeviceCreated(ClockedWaveOut* device) override;
  void OnDeviceDestroyed(ClockedWaveOut* device) override;

 private:
  explicit TestWaveOutSystem(double speed) : speed_(speed) {}

  static constexpr size_t kOps = static_cast<size_t>(WaveOp::kClose) + 1;

  const double speed_;
  // Lock order: devices_mutex_, then a device's own lock, then mutex_ (a device's Write holds its
  // lock while it reports the bytes; LoseDevices holds devices_mutex_ while it calls the devices).
  mutable std::mutex devices_mutex_;
  std::vector<ClockedWaveOut*> devices_;
  InjectedFailures failures_{kOps};
  mutable std::mutex mutex_;  // guards everything below
  std::vector<uint8_t> written_;
  std::optional<std::chrono::steady_clock::time_point> first_write_;
  uint32_t open_count_ = 0;
  WAVEFORMATEX last_format_{};
};

}  // namespace melvox::platform

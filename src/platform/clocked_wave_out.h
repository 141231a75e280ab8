// A wave-output device driven by the machine's clock instead of a sound card: it consumes written
// frames at the format's rate times a speed factor and retires each buffer when its last frame is due.
// The null device (speed 1, frames discarded) and the test device (fast clock, frames recorded,
// failures injected) are both made of it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/clocked_device.h"
#include "platform/device_clock.h"
#include "platform/wave_out.h"
#include "platform/wave_out_queue.h"

namespace melvox::platform {

// The device operations, for the hooks' failure injection.
enum class WaveOp { kOpen, kPrepare, kUnprepare, kWrite, kPause, kRestart, kReset, kPosition, kClose };

class ClockedWaveOut;

// How the test device watches and steers its devices. Called without the device's lock, except
// OnWrite (which must not call the device).
class ClockedWaveOutHooks {
 public:
  virtual ~ClockedWaveOutHooks() = default;
  // Called first in every call but Open; a result other than MMSYSERR_NOERROR fails the call with it.
  virtual MMRESULT BeforeCall(WaveOp op) = 0;
  // The bytes of every buffer written.
  virtual void OnWrite(const char* data, uint32_t bytes) = 0;
  // A device begins and ends (from its constructor and its destructor).
  virtual void OnDeviceCreated(ClockedWaveOut* device) = 0;
  virtual void OnDeviceDestroyed(ClockedWaveOut* device) = 0;
};

// Threading: the WaveOut calls come from one thread at a time; a clock thread per device retires
// buffers and runs the callback with the device's lock held. Lose and FramesConsumed may be called
// from any thread.
class ClockedWaveOut final : public ClockedDevice<WaveOut, WaveOutQueue, ClockedWaveOutHooks, WaveOp> {
 public:
  // format must be a valid PCM format (checked by the backend's Open); speed > 0 multiplies the
  // real-time rate; hooks may be null.
  ClockedWaveOut(const WAVEFORMATEX& format, WaveOutCallback callback, double speed,
                 std::shared_ptr<ClockedWaveOutHooks> hooks);
  ~ClockedWaveOut() override;

  MMRESULT Write(WAVEHDR* header) override;
  MMRESULT Pause() override;
  MMRESULT Restart() override;
  MMRESULT Reset() override;
  MMRESULT GetPosition(uint32_t& samples) override;
  MMRESULT Close() override;

  // As a sound server that went away: every queued buffer comes back with WHDR_DONE and
  // WHDR_DEVICE_ERROR, and every later call but Prepare, Unprepare, Reset and Close fails with
  // MMSYSERR_NODRIVER.
  void Lose();
  // Frames consumed since open or the last reset.
  uint64_t FramesConsumed();

 private:
  using Clock = std::chrono::steady_clock;

  MMRESULT SetPaused(WaveOp op, bool paused);
  // Brings the consumed count up to now and retires the buffers it passed. Lock held.
  void Advance(Clock::time_point now);
  void ResetLocked();
  // One tick of the clock thread: advances the device; returns how long to sleep. Lock held.
  std::chrono::microseconds Tick();

  const uint32_t block_align_;
  const double bytes_per_second_;
  // Guarded by clock_.mutex.
  double consumed_ = 0.0;  // bytes, never more than queue_.Written()
  Clock::time_point last_;
  bool paused_ = false;
};

}  // namespace melvox::platform

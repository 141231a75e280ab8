// A wave-input device driven by the machine's clock instead of a sound card: while started it makes
// input at the format's rate times a speed factor and hands it to the queued buffers in chunks of a
// fixed size, as a sound server hands out whatever it has. Input that finds no queued buffer waits
// for the next one (a stop or reset drops it), as a sound server keeps it. The null device (speed 1,
// silence) and the test device (any speed, scripted samples, failures injected) are both made of it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/clocked_device.h"
#include "platform/device_clock.h"
#include "platform/wave_in.h"
#include "platform/wave_in_queue.h"

namespace melvox::platform {

// The device operations, for the hooks' failure injection.
enum class WaveInOp { kOpen, kPrepare, kUnprepare, kAddBuffer, kStart, kStop, kReset, kClose };

class ClockedWaveIn;

// How the test device feeds, watches and steers its devices. BeforeCall is called without the
// device's lock; Produce and OnReturn with it held (they must not call the device).
class ClockedWaveInHooks {
 public:
  virtual ~ClockedWaveInHooks() = default;
  // Called first in every call but Open; a result other than MMSYSERR_NOERROR fails the call with it.
  virtual MMRESULT BeforeCall(WaveInOp op) = 0;
  // Fills out with bytes offset .. offset + bytes - 1 of the device's input, offset counting from the
  // first byte it made since it was opened.
  virtual void Produce(uint64_t offset, char* out, uint32_t bytes) = 0;
  // A buffer comes back (before the device's callback), with its dwBytesRecorded bytes.
  virtual void OnReturn(const WAVEHDR& header) = 0;
  // A device begins and ends (from its constructor and its destructor).
  virtual void OnDeviceCreated(ClockedWaveIn* device) = 0;
  virtual void OnDeviceDestroyed(ClockedWaveIn* device) = 0;
};

// Threading: the WaveIn calls may come from any thread; a clock thread per device makes the input
// and returns buffers with the device's lock held. Lose and StartedAt may be called from any thread.
class ClockedWaveIn final : public ClockedDevice<WaveIn, WaveInQueue, ClockedWaveInHooks, WaveInOp> {
 public:
  using Clock = std::chrono::steady_clock;

  // format must be a valid PCM format (checked by the backend's Open); speed > 0 multiplies the
  // real-time rate; chunk_bytes (rounded down to whole frames, at least one) is the most handed over
  // at once; hooks may be null (then the input is silence).
  ClockedWaveIn(const WAVEFORMATEX& format, WaveInCallback callback, double speed, uint32_t chunk_bytes,
                std::shared_ptr<ClockedWaveInHooks> hooks);
  ~ClockedWaveIn() override;

  MMRESULT AddBuffer(WAVEHDR* header) override;
  MMRESULT Start() override;
  MMRESULT Stop() override;
  MMRESULT Reset() override;
  MMRESULT Close() override;

  // As a sound server that went away: every queued buffer comes back with WHDR_DONE and
  // WHDR_DEVICE_ERROR, and later adds and starts fail with MMSYSERR_NODRIVER.
  void Lose();
  // When the device was first started (its first byte of input is due then); the epoch before.
  Clock::time_point StartedAt();

 private:
  // Makes the input that is due by now and hands it over in whole chunks, and with to_the_frame the
  // whole frames of the last part-chunk too (a stop takes everything captured so far). Lock held.
  void Advance(Clock::time_point now, bool to_the_frame);
  // How long the clock thread may sleep before the next chunk is due. Lock held.
  std::chrono::microseconds NextWait() const;
  // Drops the input that waits for a buffer: it is skipped, as a server's flush skips it. Lock held.
  void DropWaiting();
  // One tick of the clock thread: advances the device; returns how long to sleep. Lock held.
  std::chrono::microseconds Tick();

  const uint32_t block_align_;
  const double bytes_per_second_;
  const uint32_t chunk_bytes_;
  const std::unique_ptr<char[]> chunk_;  // one chunk of input, made before it is handed over
  // Guarded by clock_.mutex.
  double due_ = 0.0;   // bytes of input due and not yet handed over
  uint64_t made_ = 0;  // bytes of input handed over or dropped since open
  Clock::time_point last_;
  Clock::time_point started_at_{};
  bool running_ = false;
};

}  // namespace melvox::platform

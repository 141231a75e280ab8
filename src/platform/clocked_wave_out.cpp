#include "platform/clocked_wave_out.h"

#include <utility>

namespace melvox::platform {

ClockedWaveOut::ClockedWaveOut(const WAVEFORMATEX& format, WaveOutCallback callback, double speed,
                               std::shared_ptr<ClockedWaveOutHooks> hooks)
    : ClockedDevice(std::move(callback), format.nBlockAlign, std::move(hooks)),
      block_align_(format.nBlockAlign),
      bytes_per_second_(static_cast<double>(format.nBlockAlign) * format.nSamplesPerSec * speed),
      last_(Clock::now()) {
  if (hooks_) hooks_->OnDeviceCreated(this);
  clock_.Start([this] { return Tick(); });
}

ClockedWaveOut::~ClockedWaveOut() {
  if (hooks_) hooks_->OnDeviceDestroyed(this);
  std::unique_lock<std::mutex> lock(clock_.mutex);
  if (!closed_) {
    ResetLocked();
    closed_ = true;
  }
  clock_.Stop(lock);
}

void ClockedWaveOut::Advance(Clock::time_point now) {
  if (!paused_ && !lost_) {
    consumed_ += std::chrono::duration<double>(now - last_).count() * bytes_per_second_;
    const auto written = static_cast<double>(queue_.Written());
    // A starved device waits for more frames; the time it waited is not made up afterwards.
    if (consumed_ > written) consumed_ = written;
  }
  last_ = now;
  queue_.RetireThrough(static_cast<uint64_t>(consumed_));
}

void ClockedWaveOut::ResetLocked() {
  Advance(Clock::now());
  queue_.RetireAll(0);
  queue_.ClearWritten();
  consumed_ = 0.0;
  clock_.Wake();
}

std::chrono::microseconds ClockedWaveOut::Tick() {
  Advance(Clock::now());
  if (paused_ || lost_ || queue_.Empty()) return DeviceClock::kUntilWoken;
  // Until the oldest buffer's last byte is due.
  return DeviceClock::Until((static_cast<double>(queue_.FrontEnd()) - consumed_) / bytes_per_second_);
}

MMRESULT ClockedWaveOut::Write(WAVEHDR* header) {
  return Call(WaveOp::kWrite, true, [&](auto&) {
    if (const MMRESULT checked = queue_.CheckWrite(header)) return checked;
    Advance(Clock::now());
    if (hooks_) hooks_->OnWrite(header->lpData, header->dwBufferLength);
    queue_.Push(header);
    clock_.Wake();
    return MMSYSERR_NOERROR;
  });
}

MMRESULT ClockedWaveOut::Pause() { return SetPaused(WaveOp::kPause, true); }

MMRESULT ClockedWaveOut::Restart() { return SetPaused(WaveOp::kRestart, false); }

MMRESULT ClockedWaveOut::SetPaused(WaveOp op, bool paused) {
  return Call(op, true, [&](auto&) {
    Advance(Clock::now());
    paused_ = paused;
    clock_.Wake();
    return MMSYSERR_NOERROR;
  });
}

MMRESULT ClockedWaveOut::Reset() {
  return Call(WaveOp::kReset, false, [&](auto&) {
    ResetLocked();
    return MMSYSERR_NOERROR;
  });
}

MMRESULT ClockedWaveOut::GetPosition(uint32_t& samples) {
  return Call(WaveOp::kPosition, true, [&](auto&) {
    Advance(Clock::now());
    samples = static_cast<uint32_t>(static_cast<uint64_t>(consumed_) / block_align_);
    return MMSYSERR_NOERROR;
  });
}

MMRESULT ClockedWaveOut::Close() {
  return Call(WaveOp::kClose, false, [&](std::unique_lock<std::mutex>& lock) {
    Advance(Clock::now());
    if (!queue_.Empty()) return WAVERR_STILLPLAYING;
    closed_ = true;
    clock_.Stop(lock);
    return MMSYSERR_NOERROR;
  });
}

void ClockedWaveOut::Lose() {
  std::lock_guard<std::mutex> lock(clock_.mutex);
  if (closed_ || lost_) return;
  Advance(Clock::now());
  lost_ = true;
  queue_.RetireAll(WHDR_DEVICE_ERROR);
  clock_.Wake();
}

uint64_t ClockedWaveOut::FramesConsumed() {
  std::lock_guard<std::mutex> lock(clock_.mutex);
  if (!closed_) Advance(Clock::now());
  return static_cast<uint64_t>(consumed_) / block_align_;
}

}  // namespace melvox::platform

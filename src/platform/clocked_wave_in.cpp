#include "platform/clocked_wave_in.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace melvox::platform {
namespace {

uint32_t WholeFrames(uint32_t bytes, uint32_t block_align) { return std::max(bytes / block_align, 1u) * block_align; }

}  // namespace

ClockedWaveIn::ClockedWaveIn(const WAVEFORMATEX& format, WaveInCallback callback, double speed, uint32_t chunk_bytes,
                             std::shared_ptr<ClockedWaveInHooks> hooks)
    : ClockedDevice(
          [this, callback = std::move(callback)](uint32_t message, WAVEHDR* header) {
            if (hooks_) hooks_->OnReturn(*header);
            if (callback) callback(message, header);
          },
          format.nBlockAlign, std::move(hooks)),
      block_align_(format.nBlockAlign),
      bytes_per_second_(static_cast<double>(format.nBlockAlign) * format.nSamplesPerSec * speed),
      chunk_bytes_(WholeFrames(chunk_bytes, format.nBlockAlign)),
      chunk_(new char[chunk_bytes_]()),
      last_(Clock::now()) {
  if (hooks_) hooks_->OnDeviceCreated(this);
  clock_.Start([this] { return Tick(); });
}

ClockedWaveIn::~ClockedWaveIn() {
  if (hooks_) hooks_->OnDeviceDestroyed(this);
  std::unique_lock<std::mutex> lock(clock_.mutex);
  if (!closed_) {
    running_ = false;
    queue_.RetireAll(0);
    closed_ = true;
  }
  clock_.Stop(lock);
}

void ClockedWaveIn::Advance(Clock::time_point now, bool to_the_frame) {
  if (running_ && !lost_) {
    due_ += std::chrono::duration<double>(now - last_).count() * bytes_per_second_;
    // Input that finds no queued buffer waits for one, as with a sound server.
    while (!queue_.Empty()) {
      uint32_t take = chunk_bytes_;
      if (due_ < chunk_bytes_) {
        if (!to_the_frame || due_ < block_align_) break;
        take = static_cast<uint32_t>(due_ / block_align_) * block_align_;
      }
      if (hooks_) {
        hooks_->Produce(made_, chunk_.get(), take);
      } else {
        std::memset(chunk_.get(), 0, take);
      }
      const size_t taken = queue_.Fill(chunk_.get(), take);
      made_ += taken;
      due_ -= static_cast<double>(taken);
    }
  }
  last_ = now;
}

std::chrono::microseconds ClockedWaveIn::NextWait() const {
  // Until the next whole chunk is due, as a server hands over one fragment at a time (rounded up to
  // whole microseconds).
  const double seconds = std::max(static_cast<double>(chunk_bytes_) - due_, 1.0) / bytes_per_second_;
  return DeviceClock::Until(seconds);
}

void ClockedWaveIn::DropWaiting() {
  const auto frames = static_cast<uint64_t>(due_ / block_align_);
  made_ += frames * block_align_;
  due_ = 0.0;
}

std::chrono::microseconds ClockedWaveIn::Tick() {
  Advance(Clock::now(), false);
  // With no buffer queued, the input waits until AddBuffer wakes the clock.
  return running_ && !lost_ && !queue_.Empty() ? NextWait() : DeviceClock::kUntilWoken;
}

MMRESULT ClockedWaveIn::AddBuffer(WAVEHDR* header) {
  return Call(WaveInOp::kAddBuffer, true, [&](auto&) {
    if (const MMRESULT checked = queue_.CheckAdd(header)) return checked;
    queue_.Push(header);
    clock_.Wake();
    return MMSYSERR_NOERROR;
  });
}

MMRESULT ClockedWaveIn::Start() {
  return Call(WaveInOp::kStart, true, [&](auto&) {
    if (!running_) {
      running_ = true;
      last_ = Clock::now();
      if (started_at_ == Clock::time_point{}) started_at_ = last_;
      clock_.Wake();
    }
    return MMSYSERR_NOERROR;
  });
}

MMRESULT ClockedWaveIn::Stop() {
  return Call(WaveInOp::kStop, false, [&](auto&) {
    Advance(Clock::now(), true);
    running_ = false;
    queue_.ReturnPartial();
    DropWaiting();
    return MMSYSERR_NOERROR;
  });
}

MMRESULT ClockedWaveIn::Reset() {
  return Call(WaveInOp::kReset, false, [&](auto&) {
    Advance(Clock::now(), true);
    running_ = false;
    queue_.RetireAll(0);
    DropWaiting();
    return MMSYSERR_NOERROR;
  });
}

MMRESULT ClockedWaveIn::Close() {
  return Call(WaveInOp::kClose, false, [&](std::unique_lock<std::mutex>& lock) {
    if (!queue_.Empty()) return WAVERR_STILLPLAYING;
    closed_ = true;
    running_ = false;
    clock_.Stop(lock);
    return MMSYSERR_NOERROR;
  });
}

void ClockedWaveIn::Lose() {
  std::lock_guard<std::mutex> lock(clock_.mutex);
  if (closed_ || lost_) return;
  Advance(Clock::now(), true);
  lost_ = true;
  running_ = false;
  queue_.RetireAll(WHDR_DEVICE_ERROR);
  clock_.Wake();
}

ClockedWaveIn::Clock::time_point ClockedWaveIn::StartedAt() {
  std::lock_guard<std::mutex> lock(clock_.mutex);
  return started_at_;
}

}  // namespace melvox::platform

#include "platform/wave_out_queue.h"

#include <utility>

namespace melvox::platform {

WaveOutQueue::WaveOutQueue(WaveOutCallback callback, uint32_t block_align)
    : callback_(std::move(callback)), block_align_(block_align), ring_(32) {}

MMRESULT WaveOutQueue::Prepare(WAVEHDR* header) {
  if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutQueue::Unprepare(WAVEHDR* header) {
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutQueue::CheckWrite(const WAVEHDR* header) const {
  if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  const uint32_t flags = header->dwFlags;
  if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  if (block_align_ == 0 || header->dwBufferLength % block_align_ != 0) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

void WaveOutQueue::Push(WAVEHDR* header) {
  if (count_ == ring_.size()) {
    std::vector<Entry> larger(ring_.size() * 2);
    for (size_t i = 0; i < count_; ++i) larger[i] = ring_[(head_ + i) % ring_.size()];
    ring_ = std::move(larger);
    head_ = 0;
  }
  header->dwFlags &= ~(WHDR_DONE | WHDR_DEVICE_ERROR);
  header->dwFlags |= WHDR_INQUEUE;
  written_ += header->dwBufferLength;
  ring_[(head_ + count_) % ring_.size()] = Entry{header, written_};
  ++count_;
}

void WaveOutQueue::Retire(const Entry& entry, uint32_t extra_flags) {
  // The writer may act on the header as soon as it sees WHDR_DONE, so the queued mark goes first.
  entry.header->dwFlags &= ~WHDR_INQUEUE;
  entry.header->dwFlags |= WHDR_DONE | extra_flags;
  if (callback_) callback_(WOM_DONE, entry.header);
}

void WaveOutQueue::RetireThrough(uint64_t consumed) {
  while (count_ > 0 && ring_[head_].end <= consumed) {
    const Entry entry = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --count_;
    Retire(entry, 0);
  }
}

void WaveOutQueue::RetireAll(uint32_t extra_flags) {
  while (count_ > 0) {
    const Entry entry = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --count_;
    Retire(entry, extra_flags);
  }
}

}  // namespace melvox::platform

#include "platform/wave_in_queue.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/wave_out_queue.h"

namespace melvox::platform {

WaveInQueue::WaveInQueue(WaveInCallback callback, uint32_t block_align)
    : callback_(std::move(callback)), block_align_(block_align), ring_(32) {}

// Preparing means the same in both directions.
MMRESULT WaveInQueue::Prepare(WAVEHDR* header) { return WaveOutQueue::Prepare(header); }

MMRESULT WaveInQueue::Unprepare(WAVEHDR* header) { return WaveOutQueue::Unprepare(header); }

uint32_t WaveInQueue::Capacity(const WAVEHDR* header) const {
  return block_align_ == 0 ? 0 : header->dwBufferLength / block_align_ * block_align_;
}

MMRESULT WaveInQueue::CheckAdd(const WAVEHDR* header) const {
  if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  const uint32_t flags = header->dwFlags;
  if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  if (Capacity(header) == 0) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

void WaveInQueue::Push(WAVEHDR* header) {
  if (count_ == ring_.size()) {
    std::vector<WAVEHDR*> larger(ring_.size() * 2);
    for (size_t i = 0; i < count_; ++i) larger[i] = ring_[(head_ + i) % ring_.size()];
    ring_ = std::move(larger);
    head_ = 0;
  }
  header->dwBytesRecorded = 0;
  header->dwFlags &= ~(WHDR_DONE | WHDR_DEVICE_ERROR);
  header->dwFlags |= WHDR_INQUEUE;
  ring_[(head_ + count_) % ring_.size()] = header;
  ++count_;
}

WAVEHDR* WaveInQueue::PopFront() {
  WAVEHDR* header = ring_[head_];
  head_ = (head_ + 1) % ring_.size();
  --count_;
  return header;
}

void WaveInQueue::Return(WAVEHDR* header, uint32_t extra_flags) {
  // The byte count is written before the flag that publishes it; the reader may act on the header
  // as soon as it sees WHDR_DONE, so the queued mark goes first.
  header->dwFlags &= ~WHDR_INQUEUE;
  header->dwFlags |= WHDR_DONE | extra_flags;
  if (callback_) callback_(WIM_DATA, header);
}

uint32_t WaveInQueue::HeadRoom() const {
  if (count_ == 0) return 0;
  const WAVEHDR* head = ring_[head_];
  return Capacity(head) - head->dwBytesRecorded;
}

size_t WaveInQueue::Fill(const void* data, size_t bytes) {
  const auto* in = static_cast<const char*>(data);
  size_t taken = 0;
  while (taken < bytes && count_ > 0) {
    WAVEHDR* head = ring_[head_];
    const uint32_t room = Capacity(head) - head->dwBytesRecorded;
    const auto take = static_cast<uint32_t>(std::min<size_t>(room, bytes - taken));
    char* to = head->lpData + head->dwBytesRecorded;
    if (in != nullptr) {
      std::memcpy(to, in + taken, take);
    } else {
      std::memset(to, 0, take);
    }
    head->dwBytesRecorded += take;
    taken += take;
    if (head->dwBytesRecorded == Capacity(head)) Return(PopFront(), 0);
  }
  return taken;
}

void WaveInQueue::ReturnPartial() {
  if (count_ > 0 && ring_[head_]->dwBytesRecorded > 0) Return(PopFront(), 0);
}

void WaveInQueue::RetireAll(uint32_t extra_flags) {
  while (count_ > 0) Return(PopFront(), extra_flags);
}

}  // namespace melvox::platform

// The bookkeeping every wave device shares in both directions: the header rules (prepare, unprepare,
// what a header needs before it is queued) and the ring of queued headers, which come back in the
// order queued. The output's queue (wave_out_queue.h) adds the bytes written and where each buffer
// ends; the input's (wave_in_queue.h) gathers chunks of input into whole buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/wave_out.h"

namespace melvox::platform {

// Entry is what the direction keeps of a queued buffer; it holds the buffer as `WAVEHDR* header`.
//
// Threading: not locked; the device calls it under its own lock. The callback runs inside the call
// that returns a buffer, so with that lock held.
template <typename Entry>
class WaveQueue {
 public:
  using Callback = std::function<void(uint32_t message, WAVEHDR* header)>;

  // Marks a header prepared. MMSYSERR_INVALPARAM for a null header or buffer.
  static MMRESULT Prepare(WAVEHDR* header) {
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
  }
  // Clears the prepared mark. WAVERR_STILLPLAYING while the header is queued.
  static MMRESULT Unprepare(WAVEHDR* header) {
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
  }

  bool Empty() const { return count_ == 0; }
  // Returns every queued buffer, oldest first, with extra flags (WHDR_DEVICE_ERROR when the device
  // failed).
  void RetireAll(uint32_t extra_flags) {
    while (count_ > 0) Return(PopFront().header, extra_flags);
  }

 protected:
  // message (WOM_DONE or WIM_DATA) goes to callback with every buffer returned; block_align is the
  // bytes of one frame.
  WaveQueue(Callback callback, uint32_t message, uint32_t block_align)
      : block_align_(block_align), callback_(std::move(callback)), message_(message), ring_(32) {}

  // The rules every queued header meets: a prepared header with a buffer, not queued already.
  static MMRESULT CheckQueueable(const WAVEHDR* header) {
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    const uint32_t flags = header->dwFlags;
    if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    return MMSYSERR_NOERROR;
  }

  // Queues a checked entry; its header is marked queued and not done.
  void Push(const Entry& entry) {
    if (count_ == ring_.size()) {
      std::vector<Entry> larger(ring_.size() * 2);
      for (size_t i = 0; i < count_; ++i) larger[i] = ring_[(head_ + i) % ring_.size()];
      ring_ = std::move(larger);
      head_ = 0;
    }
    entry.header->dwFlags &= ~(WHDR_DONE | WHDR_DEVICE_ERROR);
    entry.header->dwFlags |= WHDR_INQUEUE;
    ring_[(head_ + count_) % ring_.size()] = entry;
    ++count_;
  }

  // The oldest queued entry; only when not Empty.
  const Entry& Front() const { return ring_[head_]; }

  Entry PopFront() {
    const Entry entry = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --count_;
    return entry;
  }

  // Hands a buffer taken off the queue back to its owner.
  void Return(WAVEHDR* header, uint32_t extra_flags) {
    // The owner may act on the header (its byte count included) as soon as it sees WHDR_DONE, so
    // everything else is written first, the queued mark cleared before the done mark is set.
    header->dwFlags &= ~WHDR_INQUEUE;
    header->dwFlags |= WHDR_DONE | extra_flags;
    if (callback_) callback_(message_, header);
  }

  const uint32_t block_align_;

 private:
  Callback callback_;
  const uint32_t message_;
  // A ring that only grows when more buffers are queued than ever before: the engines' 20 fit in the
  // first allocation, so nothing allocates on their threads while they play or record.
  std::vector<Entry> ring_;
  size_t head_ = 0;
  size_t count_ = 0;
};

}  // namespace melvox::platform

// The bookkeeping every wave-output backend shares: header checks, and the queue of written buffers
// with the byte offset at which each ends, from which buffers are retired in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/wave_out.h"

namespace melvox::platform {

// Threading: not locked; the backend calls it under its own lock.
class WaveOutQueue {
 public:
  // callback receives WOM_DONE for every retired buffer; block_align is the bytes of one frame.
  WaveOutQueue(WaveOutCallback callback, uint32_t block_align);

  static MMRESULT Prepare(WAVEHDR* header);
  static MMRESULT Unprepare(WAVEHDR* header);
  // Whether header may be written: prepared, not queued, whole frames.
  MMRESULT CheckWrite(const WAVEHDR* header) const;
  // Queues a checked header whose bytes were just handed to the device.
  void Push(WAVEHDR* header);
  // Retires, in the order written, every buffer that ends at or before `consumed` bytes.
  void RetireThrough(uint64_t consumed);
  // Retires every queued buffer, with extra flags (WHDR_DEVICE_ERROR when the device failed).
  void RetireAll(uint32_t extra_flags);
  // Bytes written since construction or the last ClearWritten.
  uint64_t Written() const { return written_; }
  void ClearWritten() { written_ = 0; }
  bool Empty() const { return count_ == 0; }
  // End offset of the oldest queued buffer; only when not Empty.
  uint64_t FrontEnd() const { return ring_[head_].end; }
  uint32_t BlockAlign() const { return block_align_; }

 private:
  struct Entry {
    WAVEHDR* header;
    uint64_t end;
  };
  void Retire(const Entry& entry, uint32_t extra_flags);

  WaveOutCallback callback_;
  uint32_t block_align_;
  // A ring that only grows when more buffers are queued than ever before: the engine's 20 fit in the
  // first allocation, so writes on its thread do not allocate.
  std::vector<Entry> ring_;
  size_t head_ = 0;
  size_t count_ = 0;
  uint64_t written_ = 0;
};

}  // namespace melvox::platform

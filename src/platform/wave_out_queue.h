// The output's queue: the header rules of a write, and every written buffer with the byte offset at
// which it ends, so that buffers are retired in order as the device consumes the bytes.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/wave_out.h"
#include "platform/wave_queue.h"

namespace melvox::platform {

struct WaveOutEntry {
  WAVEHDR* header;
  uint64_t end;  // bytes written up to and including this buffer
};

// Threading: not locked; the device calls it under its own lock.
class WaveOutQueue final : public WaveQueue<WaveOutEntry> {
 public:
  // callback receives WOM_DONE for every retired buffer; block_align is the bytes of one frame.
  WaveOutQueue(Callback callback, uint32_t block_align) : WaveQueue(std::move(callback), WOM_DONE, block_align) {}

  // Whether header may be written: prepared, not queued, whole frames.
  MMRESULT CheckWrite(const WAVEHDR* header) const;
  // Queues a checked header whose bytes were just handed to the device.
  void Push(WAVEHDR* header);
  // Retires, in the order written, every buffer that ends at or before `consumed` bytes.
  void RetireThrough(uint64_t consumed);
  // Bytes written since construction or the last ClearWritten.
  uint64_t Written() const { return written_; }
  void ClearWritten() { written_ = 0; }
  // End offset of the oldest queued buffer; only when not Empty.
  uint64_t FrontEnd() const { return Front().end; }

 private:
  uint64_t written_ = 0;
};

}  // namespace melvox::platform

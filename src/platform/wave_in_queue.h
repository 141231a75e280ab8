// The bookkeeping every wave-input backend shares: header checks, and the queue of buffers waiting to
// be filled. Input arrives in chunks of any size (a sound server hands out whatever it has); the queue
// copies each chunk into the buffer at its head and returns that buffer once it is full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/wave_in.h"

namespace melvox::platform {

// Threading: not locked; the backend calls it under its own lock.
class WaveInQueue {
 public:
  // callback receives WIM_DATA for every buffer returned; block_align is the bytes of one frame.
  WaveInQueue(WaveInCallback callback, uint32_t block_align);

  static MMRESULT Prepare(WAVEHDR* header);
  static MMRESULT Unprepare(WAVEHDR* header);
  // Whether header may be queued: prepared, not queued, room for at least one frame.
  MMRESULT CheckAdd(const WAVEHDR* header) const;
  // Queues a checked header: nothing recorded in it yet.
  void Push(WAVEHDR* header);
  // Copies bytes of input (null: that many bytes of silence) into the queued buffers in order,
  // returning each buffer as it fills; what finds no buffer is lost. Buffers hold whole frames only,
  // so a buffer whose length is not a multiple of the frame size comes back with the whole frames it
  // holds. Returns the bytes that found room.
  size_t Fill(const void* data, size_t bytes);
  // Returns the buffer being filled when it holds any bytes (a stop).
  void ReturnPartial();
  // Returns every queued buffer with what it holds, with extra flags (WHDR_DEVICE_ERROR when the
  // device failed).
  void RetireAll(uint32_t extra_flags);
  bool Empty() const { return count_ == 0; }
  // Bytes the buffer being filled still takes; 0 when none is queued.
  uint32_t HeadRoom() const;

 private:
  // The whole-frame capacity of a header.
  uint32_t Capacity(const WAVEHDR* header) const;
  WAVEHDR* PopFront();
  void Return(WAVEHDR* header, uint32_t extra_flags);

  WaveInCallback callback_;
  uint32_t block_align_;
  // A ring that only grows when more buffers are queued than ever before: the recording engine's 20
  // fit in the first allocation, so nothing allocates while it records.
  std::vector<WAVEHDR*> ring_;
  size_t head_ = 0;
  size_t count_ = 0;
};

}  // namespace melvox::platform

// The input's queue: the header rules of an added buffer, and the gathering of input into the queued
// buffers. Input arrives in chunks of any size (a sound server hands out whatever it has); the queue
// copies each chunk into the buffer at its head and returns that buffer once it is full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "platform/wave_in.h"
#include "platform/wave_queue.h"

namespace melvox::platform {

struct WaveInEntry {
  WAVEHDR* header;  // its dwBytesRecorded counts the bytes gathered so far
};

// Threading: not locked; the device calls it under its own lock.
class WaveInQueue final : public WaveQueue<WaveInEntry> {
 public:
  // callback receives WIM_DATA for every buffer returned; block_align is the bytes of one frame.
  WaveInQueue(Callback callback, uint32_t block_align) : WaveQueue(std::move(callback), WIM_DATA, block_align) {}

  // Whether header may be queued: prepared, not queued, room for at least one frame.
  MMRESULT CheckAdd(const WAVEHDR* header) const;
  // Queues a checked header: nothing recorded in it yet.
  void Push(WAVEHDR* header);
  // Copies bytes of input (null: that many bytes of silence) into the queued buffers in order,
  // returning each buffer as it fills, until the buffers run out. Buffers hold whole frames only, so
  // a buffer whose length is not a multiple of the frame size comes back with the whole frames it
  // holds. Returns the bytes taken: fewer than given when the buffers ran out, and the caller keeps
  // the rest for the next buffers.
  size_t Fill(const void* data, size_t bytes);
  // Returns the buffer being filled when it holds any bytes (a stop).
  void ReturnPartial();

 private:
  // The whole-frame capacity of a header.
  uint32_t Capacity(const WAVEHDR* header) const;
};

}  // namespace melvox::platform

#include "platform/wave_out_queue.h"

namespace melvox::platform {

MMRESULT WaveOutQueue::CheckWrite(const WAVEHDR* header) const {
  if (const MMRESULT checked = CheckQueueable(header)) return checked;
  if (block_align_ == 0 || header->dwBufferLength % block_align_ != 0) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

void WaveOutQueue::Push(WAVEHDR* header) {
  written_ += header->dwBufferLength;
  WaveQueue::Push({header, written_});
}

void WaveOutQueue::RetireThrough(uint64_t consumed) {
  while (!Empty() && Front().end <= consumed) Return(PopFront().header, 0);
}

}  // namespace melvox::platform

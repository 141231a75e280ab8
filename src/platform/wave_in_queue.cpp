#include "platform/wave_in_queue.h"

#include <algorithm>
#include <cstring>

namespace melvox::platform {

uint32_t WaveInQueue::Capacity(const WAVEHDR* header) const {
  return block_align_ == 0 ? 0 : header->dwBufferLength / block_align_ * block_align_;
}

MMRESULT WaveInQueue::CheckAdd(const WAVEHDR* header) const {
  if (const MMRESULT checked = CheckQueueable(header)) return checked;
  if (Capacity(header) == 0) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

void WaveInQueue::Push(WAVEHDR* header) {
  header->dwBytesRecorded = 0;
  WaveQueue::Push({header});
}

size_t WaveInQueue::Fill(const void* data, size_t bytes) {
  const auto* in = static_cast<const char*>(data);
  size_t taken = 0;
  while (taken < bytes && !Empty()) {
    WAVEHDR* head = Front().header;
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
    if (head->dwBytesRecorded == Capacity(head)) Return(PopFront().header, 0);
  }
  return taken;
}

void WaveInQueue::ReturnPartial() {
  if (!Empty() && Front().header->dwBytesRecorded > 0) Return(PopFront().header, 0);
}

}  // namespace melvox::platform

#include "audio/notify_queue.h"

#include <algorithm>

namespace melvox {

CNotifyQueue::CNotifyQueue() { Start(); }

CNotifyQueue::~CNotifyQueue() {
  wake_.Set();
  WaitForEnd();
}

void CNotifyQueue::SetWaitTime(int32_t ms) {
  CLock lock(wait_lock_);
  wait_ms_ = ms;
}

int32_t CNotifyQueue::GetWaitTime() {
  CLock lock(wait_lock_);
  return wait_ms_;
}

void CNotifyQueue::Reserve(size_t listeners) {
  CLock lock(queue_lock_);
  pairs_.reserve(listeners * kPerListener);
}

void CNotifyQueue::Push(IRecorderListener* listener, int32_t value) {
  CLock lock(queue_lock_);
  size_t places[kPerListener];
  size_t held = 0;
  for (size_t i = 0; i < pairs_.size() && held < kPerListener; ++i) {
    if (pairs_[i].listener == listener) places[held++] = i;
  }
  if (held < kPerListener) {
    pairs_.push_back(Pair{listener, value});
    return;
  }
  for (size_t k = 0; k + 1 < kPerListener; ++k) pairs_[places[k]].value = pairs_[places[k + 1]].value;
  pairs_[places[kPerListener - 1]].value = value;
}

void CNotifyQueue::Remove(IRecorderListener* listener) {
  {
    CLock lock(queue_lock_);
    pairs_.erase(
        std::remove_if(pairs_.begin(), pairs_.end(), [&](const Pair& pair) { return pair.listener == listener; }),
        pairs_.end());
  }
  // A listener removing itself (or another) from inside its call already holds the delivery lock.
  if (thread_id_.load() != std::this_thread::get_id()) CLock wait_for_delivery(delivery_lock_);
}

size_t CNotifyQueue::Size() {
  CLock lock(queue_lock_);
  return pairs_.size();
}

uint32_t CNotifyQueue::Run() {
  thread_id_.store(std::this_thread::get_id());
  while (!wake_.Wait(GetWaitTime())) {
    CLock delivery(delivery_lock_);
    Pair pair{};
    {
      CLock lock(queue_lock_);
      if (pairs_.empty()) continue;
      pair = pairs_.front();
      pairs_.erase(pairs_.begin());  // a few pairs per listener: the shift is short, and never allocates
    }
    try {
      pair.listener->OnLevel(pair.value);
    } catch (...) {
      // A host's exception must not end the notification thread; the other listeners still hear.
    }
  }
  return 0;
}

}  // namespace melvox

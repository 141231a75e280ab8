// What the clocked output and input devices share: the device's lock (its clock's), the hooks
// through which a test system counts and fails calls, the queue with its header rules, and the marks
// of a closed device and of one whose server went away.
#pragma once

#include <memory>
#include <mutex>
#include <utility>

#include "platform/device_clock.h"
#include "platform/wave_out.h"

namespace melvox::platform {

// Device is the interface (WaveOut or WaveIn), Queue the direction's queue, Hooks its hook interface
// and Op the enum of its operations. The direction adds its calls, its clock's tick and Lose.
//
// Threading: every call runs under the clock's mutex, which guards the queue and the marks; the
// clock thread ticks with it held. The hooks' BeforeCall runs first, without it. The direction's
// destructor stops the clock before the members go.
template <typename Device, typename Queue, typename Hooks, typename Op>
class ClockedDevice : public Device {
 public:
  ClockedDevice(const ClockedDevice&) = delete;
  ClockedDevice& operator=(const ClockedDevice&) = delete;

  MMRESULT Prepare(WAVEHDR* header) override {
    return Call(Op::kPrepare, false, [&](auto&) { return Queue::Prepare(header); });
  }
  MMRESULT Unprepare(WAVEHDR* header) override {
    return Call(Op::kUnprepare, false, [&](auto&) { return Queue::Unprepare(header); });
  }

 protected:
  // hooks may be null.
  ClockedDevice(typename Queue::Callback callback, uint32_t block_align, std::shared_ptr<Hooks> hooks)
      : hooks_(std::move(hooks)), queue_(std::move(callback), block_align) {}

  // Runs an operation: its injected failure first, then body(lock) with the lock held on an open
  // device (MMSYSERR_INVALHANDLE once closed; MMSYSERR_NODRIVER after Lose when it needs the server).
  template <typename Body>
  MMRESULT Call(Op op, bool needs_server, Body body) {
    if (hooks_) {
      if (const MMRESULT injected = hooks_->BeforeCall(op)) return injected;
    }
    std::unique_lock<std::mutex> lock(clock_.mutex);
    if (closed_) return MMSYSERR_INVALHANDLE;
    if (needs_server && lost_) return MMSYSERR_NODRIVER;
    return body(lock);
  }

  const std::shared_ptr<Hooks> hooks_;
  DeviceClock clock_;  // its mutex guards everything below
  Queue queue_;
  bool lost_ = false;
  bool closed_ = false;
};

}  // namespace melvox::platform

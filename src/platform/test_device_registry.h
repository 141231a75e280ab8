// What the output and input test systems keep of the devices they open: the calls of each operation,
// failures injected on demand, and the list of open devices, which can
// all be told that the sound server went away.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/wave_out.h"

namespace melvox::platform {

// Hooks is the clocked devices' hook interface (ClockedWaveOutHooks or ClockedWaveInHooks), whose
// BeforeCall, OnDeviceCreated and OnDeviceDestroyed the registry implements; Device the clocked
// device (with Lose()); Op the enum of its operations, kOpen .. kClose.
//
// Threading: every operation may be called from any thread. The devices call the hooks without their
// own lock; the registry calls devices (Lose, and what OfLastDevice reads) with its lock held, so the
// lock order is: the registry's lock, then a device's.
template <typename Hooks, typename Device, typename Op>
class TestDeviceRegistry : public Hooks {
 public:
  // From the `after`-th call of op on (0: the next one), `count` calls fail with result; the calls in
  // between succeed. Applies to every device of the system; a new rule for op replaces the old one.
  void InjectFailure(Op op, MMRESULT result, uint32_t after = 0, uint32_t count = 1) {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_[Index(op)] = Rule{result, after, count};
  }
  // Every open device behaves as if the sound server went away (see the device's Lose).
  void LoseDevices() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Device* device : devices_) device->Lose();
  }
  // Calls of op so far, failed ones included.
  uint32_t Calls(Op op) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_[Index(op)];
  }
  // Devices opened so far, and devices open now.
  uint32_t OpenCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_count_;
  }
  uint32_t LiveDevices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<uint32_t>(devices_.size());
  }

  // Counts a call of op and returns its injected result (MMSYSERR_NOERROR: the call goes ahead).
  MMRESULT BeforeCall(Op op) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++calls_[Index(op)];
    Rule& rule = rules_[Index(op)];
    if (rule.count == 0) return MMSYSERR_NOERROR;
    if (rule.skip > 0) {
      --rule.skip;
      return MMSYSERR_NOERROR;
    }
    --rule.count;
    return rule.result;
  }
  void OnDeviceCreated(Device* device) override {
    std::lock_guard<std::mutex> lock(mutex_);
    devices_.push_back(device);
  }
  void OnDeviceDestroyed(Device* device) override {
    std::lock_guard<std::mutex> lock(mutex_);
    devices_.erase(std::remove(devices_.begin(), devices_.end(), device), devices_.end());
  }

 protected:
  // Opens a device as every test system does: the injected result of Op::kOpen first, then the format
  // check (WAVERR_BADFORMAT), then make() builds the device.
  template <typename Base, typename Make>
  MMRESULT OpenDevice(const WAVEFORMATEX& format, std::unique_ptr<Base>& device, Make make) {
    device.reset();
    if (const MMRESULT injected = BeforeCall(Op::kOpen)) return injected;
    if (!IsPlayableFormat(format)) return WAVERR_BADFORMAT;
    device = make();
    std::lock_guard<std::mutex> lock(mutex_);
    ++open_count_;
    return MMSYSERR_NOERROR;
  }

  // read(the device opened last) while it is open; fallback when none is.
  template <typename T, typename Read>
  T OfLastDevice(Read read, T fallback) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return devices_.empty() ? fallback : read(*devices_.back());
  }

 private:
  struct Rule {
    MMRESULT result = MMSYSERR_NOERROR;
    uint32_t skip = 0;
    uint32_t count = 0;
  };
  static constexpr size_t kOps = static_cast<size_t>(Op::kClose) + 1;
  static size_t Index(Op op) { return static_cast<size_t>(op); }

  mutable std::mutex mutex_;  // guards everything below
  std::array<Rule, kOps> rules_{};
  std::array<uint32_t, kOps> calls_{};
  std::vector<Device*> devices_;
  uint32_t open_count_ = 0;
};

}  // namespace melvox::platform

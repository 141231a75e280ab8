#include "platform/test_wave_out.h"

#include <algorithm>
#include <utility>

namespace melvox::platform {

std::shared_ptr<TestWaveOutSystem> TestWaveOutSystem::Make(double speed) {
  return std::shared_ptr<TestWaveOutSystem>(new TestWaveOutSystem(speed > 0.0 ? speed : 1.0));
}

MMRESULT TestWaveOutSystem::Open(const WAVEFORMATEX& format, WaveOutCallback callback,
                                 std::unique_ptr<WaveOut>& device) {
  device.reset();
  if (const MMRESULT injected = BeforeCall(WaveOp::kOpen)) return injected;
  if (!IsPlayableFormat(format)) return WAVERR_BADFORMAT;
  device = std::make_unique<ClockedWaveOut>(format, std::move(callback), speed_, shared_from_this());
  std::lock_guard<std::mutex> lock(mutex_);
  ++open_count_;
  last_format_ = format;
  return MMSYSERR_NOERROR;
}

void TestWaveOutSystem::InjectFailure(WaveOp op, MMRESULT result, uint32_t after, uint32_t count) {
  failures_.Inject(static_cast<size_t>(op), result, after, count);
}

void TestWaveOutSystem::ClearFailures() { failures_.Clear(); }

void TestWaveOutSystem::LoseDevices() {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  for (ClockedWaveOut* device : devices_) device->Lose();
}

std::vector<uint8_t> TestWaveOutSystem::Written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

void TestWaveOutSystem::ClearWritten() {
  std::lock_guard<std::mutex> lock(mutex_);
  written_.clear();
  first_write_.reset();
}

std::optional<std::chrono::steady_clock::time_point> TestWaveOutSystem::FirstWriteTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return first_write_;
}

uint32_t TestWaveOutSystem::Calls(WaveOp op) const { return failures_.Calls(static_cast<size_t>(op)); }

uint32_t TestWaveOutSystem::OpenCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_count_;
}

uint32_t TestWaveOutSystem::LiveDevices() const {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  return static_cast<uint32_t>(devices_.size());
}

WAVEFORMATEX TestWaveOutSystem::LastFormat() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_format_;
}

uint64_t TestWaveOutSystem::FramesConsumedByLast() const {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  return devices_.empty() ? 0 : devices_.back()->FramesConsumed();
}

MMRESULT TestWaveOutSystem::BeforeCall(WaveOp op) { return failures_.Take(static_cast<size_t>(op)); }

void TestWaveOutSystem::OnWrite(const char* data, uint32_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!first_write_) first_write_ = std::chrono::steady_clock::now();
  written_.insert(written_.end(), data, data + bytes);
}

void TestWaveOutSystem::OnDeviceCreated(ClockedWaveOut* device) {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  devices_.push_back(device);
}

void TestWaveOutSystem::OnDeviceDestroyed(ClockedWaveOut* device) {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  devices_.erase(std::remove(devices_.begin(), devices_.end(), device), devices_.end());
}

}  // namespace melvox::platform

#include "platform/test_wave_in.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace melvox::platform {

std::shared_ptr<TestWaveInSystem> TestWaveInSystem::Make(double speed, uint32_t chunk_bytes) {
  return std::shared_ptr<TestWaveInSystem>(new TestWaveInSystem(speed > 0.0 ? speed : 1.0, chunk_bytes));
}

MMRESULT TestWaveInSystem::Open(const WAVEFORMATEX& format, WaveInCallback callback, std::unique_ptr<WaveIn>& device) {
  device.reset();
  if (const MMRESULT injected = BeforeCall(WaveInOp::kOpen)) return injected;
  if (!IsPlayableFormat(format)) return WAVERR_BADFORMAT;
  device = std::make_unique<ClockedWaveIn>(format, std::move(callback), speed_, chunk_bytes_, shared_from_this());
  std::lock_guard<std::mutex> lock(mutex_);
  last_format_ = format;
  return MMSYSERR_NOERROR;
}

void TestWaveInSystem::Script(const std::vector<int16_t>& samples) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_.resize(samples.size() * 2);
  std::memcpy(script_.data(), samples.data(), script_.size());  // little-endian, as the file layout
}

void TestWaveInSystem::InjectFailure(WaveInOp op, MMRESULT result, uint32_t after, uint32_t count) {
  failures_.Inject(static_cast<size_t>(op), result, after, count);
}

void TestWaveInSystem::LoseDevices() {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  for (ClockedWaveIn* device : devices_) device->Lose();
}

uint64_t TestWaveInSystem::ReturnedBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return returned_bytes_;
}

uint32_t TestWaveInSystem::Calls(WaveInOp op) const { return failures_.Calls(static_cast<size_t>(op)); }

uint32_t TestWaveInSystem::LiveDevices() const {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  return static_cast<uint32_t>(devices_.size());
}

WAVEFORMATEX TestWaveInSystem::LastFormat() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_format_;
}

ClockedWaveIn::Clock::time_point TestWaveInSystem::LastStartedAt() const {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  return devices_.empty() ? ClockedWaveIn::Clock::time_point{} : devices_.back()->StartedAt();
}

MMRESULT TestWaveInSystem::BeforeCall(WaveInOp op) { return failures_.Take(static_cast<size_t>(op)); }

void TestWaveInSystem::Produce(uint64_t offset, char* out, uint32_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t available = offset < script_.size() ? script_.size() - offset : 0;
  const auto scripted = static_cast<uint32_t>(std::min<uint64_t>(available, bytes));
  if (scripted > 0) std::memcpy(out, script_.data() + offset, scripted);
  std::memset(out + scripted, 0, bytes - scripted);
}

void TestWaveInSystem::OnReturn(const WAVEHDR& header) {
  std::lock_guard<std::mutex> lock(mutex_);
  returned_bytes_ += header.dwBytesRecorded;
}

void TestWaveInSystem::OnDeviceCreated(ClockedWaveIn* device) {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  devices_.push_back(device);
}

void TestWaveInSystem::OnDeviceDestroyed(ClockedWaveIn* device) {
  std::lock_guard<std::mutex> lock(devices_mutex_);
  devices_.erase(std::remove(devices_.begin(), devices_.end(), device), devices_.end());
}

}  // namespace melvox::platform

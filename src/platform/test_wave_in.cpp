#include "platform/test_wave_in.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace melvox::platform {

std::shared_ptr<TestWaveInSystem> TestWaveInSystem::Make(double speed, uint32_t chunk_bytes) {
  return std::shared_ptr<TestWaveInSystem>(new TestWaveInSystem(speed > 0.0 ? speed : 1.0, chunk_bytes));
}

MMRESULT TestWaveInSystem::Open(const WAVEFORMATEX& format, WaveInCallback callback, std::unique_ptr<WaveIn>& device) {
  return OpenDevice(format, device, [&] {
    return std::make_unique<ClockedWaveIn>(format, std::move(callback), speed_, chunk_bytes_, shared_from_this());
  });
}

void TestWaveInSystem::Script(const std::vector<int16_t>& samples) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_.resize(samples.size() * 2);
  std::memcpy(script_.data(), samples.data(), script_.size());  // little-endian, as the file layout
}

uint64_t TestWaveInSystem::ReturnedBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return returned_bytes_;
}

ClockedWaveIn::Clock::time_point TestWaveInSystem::LastStartedAt() const {
  return OfLastDevice([](ClockedWaveIn& device) { return device.StartedAt(); }, ClockedWaveIn::Clock::time_point{});
}

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

}  // namespace melvox::platform

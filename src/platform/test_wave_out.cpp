#include "platform/test_wave_out.h"

#include <utility>

namespace melvox::platform {

std::shared_ptr<TestWaveOutSystem> TestWaveOutSystem::Make(double speed) {
  return std::shared_ptr<TestWaveOutSystem>(new TestWaveOutSystem(speed > 0.0 ? speed : 1.0));
}

MMRESULT TestWaveOutSystem::Open(const WAVEFORMATEX& format, WaveOutCallback callback,
                                 std::unique_ptr<WaveOut>& device) {
  return OpenDevice(format, device, [&] {
    return std::make_unique<ClockedWaveOut>(format, std::move(callback), speed_, shared_from_this());
  });
}

std::vector<uint8_t> TestWaveOutSystem::Written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

void TestWaveOutSystem::ClearWritten() {
  std::lock_guard<std::mutex> lock(mutex_);
  written_.clear();
}

uint64_t TestWaveOutSystem::FramesConsumedByLast() const {
  return OfLastDevice([](ClockedWaveOut& device) { return device.FramesConsumed(); }, uint64_t{0});
}

void TestWaveOutSystem::OnWrite(const char* data, uint32_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  written_.insert(written_.end(), data, data + bytes);
}

}  // namespace melvox::platform

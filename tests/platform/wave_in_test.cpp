#include "platform/wave_in.h"

#include <chrono>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "platform/event.h"
#include "platform/test_wave_in.h"

namespace melvox::platform {
namespace {

using Clock = std::chrono::steady_clock;

const WAVEFORMATEX kMono16 = MakePcmFormat(1, 22050, 16);

// Input buffers, and a record of each return: which header, with how many bytes.
class InputFixture {
 public:
  struct Return {
    WAVEHDR* header;
    uint32_t bytes;
  };

  InputFixture(size_t count, uint32_t bytes) : data_(count, std::vector<char>(bytes)), headers_(count) {
    for (size_t i = 0; i < count; ++i) {
      headers_[i].lpData = data_[i].data();
      headers_[i].dwBufferLength = bytes;
    }
  }
  WaveInCallback Callback() {
    return [this](uint32_t message, WAVEHDR* header) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (message == WIM_DATA) returns_.push_back({header, header->dwBytesRecorded});
      any_return_.Set();
    };
  }
  std::vector<Return> Returns() {
    std::lock_guard<std::mutex> lock(mutex_);
    return returns_;
  }
  // Waits until n buffers came back or 5 s passed.
  bool WaitReturns(size_t n) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Returns().size() < n) {
      if (Clock::now() > deadline) return false;
      any_return_.Wait(50);
    }
    return true;
  }
  WAVEHDR* Header(size_t i) { return &headers_[i]; }
  MMRESULT PrepareAndAdd(WaveIn& device, size_t i) {
    if (const MMRESULT r = device.Prepare(Header(i))) return r;
    return device.AddBuffer(Header(i));
  }

 private:
  std::vector<std::vector<char>> data_;
  std::vector<WAVEHDR> headers_;
  std::mutex mutex_;
  std::vector<Return> returns_;
  Event any_return_{EventMode::kAutoReset};
};

TEST(WaveInTest, StopReturnsThePartBufferAndResetReturnsEveryBuffer) {
  // Speed 0.1: a buffer takes 232 ms to fill, so the first is part-filled when the test stops it.
  auto system = TestWaveInSystem::Make(0.1, 64);
  InputFixture fixture(3, 1024);
  std::unique_ptr<WaveIn> device;
  ASSERT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NOERROR);
  EXPECT_EQ(device->AddBuffer(fixture.Header(0)), WAVERR_UNPREPARED);
  for (size_t i = 0; i < 3; ++i) ASSERT_EQ(fixture.PrepareAndAdd(*device, i), MMSYSERR_NOERROR);
  EXPECT_EQ(device->AddBuffer(fixture.Header(0)), WAVERR_STILLPLAYING);
  EXPECT_EQ(device->Unprepare(fixture.Header(0)), WAVERR_STILLPLAYING);

  ASSERT_EQ(device->Start(), MMSYSERR_NOERROR);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  ASSERT_EQ(device->Stop(), MMSYSERR_NOERROR);
  std::vector<InputFixture::Return> returns = fixture.Returns();
  ASSERT_EQ(returns.size(), 1u) << "a stop returns the buffer being filled, and only that one";
  EXPECT_EQ(returns[0].header, fixture.Header(0));
  EXPECT_GT(returns[0].bytes, 0u);
  EXPECT_LT(returns[0].bytes, 1024u);
  EXPECT_EQ(returns[0].bytes % 2, 0u) << "whole frames";
  EXPECT_EQ(device->Close(), WAVERR_STILLPLAYING) << "the empty buffers stay queued";

  // Started again, the next buffer fills; a reset returns it part-filled and the empty one with 0,
  // before it returns.
  ASSERT_EQ(device->Start(), MMSYSERR_NOERROR);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  ASSERT_EQ(device->Reset(), MMSYSERR_NOERROR);
  returns = fixture.Returns();
  ASSERT_EQ(returns.size(), 3u);
  EXPECT_EQ(returns[1].header, fixture.Header(1));
  EXPECT_GT(returns[1].bytes, 0u);
  EXPECT_EQ(returns[2].header, fixture.Header(2));
  EXPECT_EQ(returns[2].bytes, 0u);
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace melvox::platform

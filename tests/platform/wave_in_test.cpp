#include "platform/wave_in.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "platform/event.h"
#include "platform/null_wave_in.h"
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

// Samples 0, 1, 2, ...: every byte of input names its place in the stream.
std::vector<int16_t> Numbered(size_t count) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(i);
  return samples;
}

TEST(WaveInTest, ChunksOfAnySizeFillWholeBuffersInOrderWithTheInputUnbroken) {
  // Chunks smaller than a buffer and not dividing it (a sound server's), one buffer exactly, and
  // chunks spanning several buffers: each buffer must come back full, once, in the order added.
  for (const uint32_t chunk : {442u, 1024u, 3000u}) {
    SCOPED_TRACE(chunk);
    auto system = TestWaveInSystem::Make(20.0, chunk);
    system->Script(Numbered(8 * 512));
    InputFixture fixture(8, 1024);
    std::unique_ptr<WaveIn> device;
    ASSERT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NOERROR);
    for (size_t i = 0; i < 8; ++i) ASSERT_EQ(fixture.PrepareAndAdd(*device, i), MMSYSERR_NOERROR);
    ASSERT_EQ(device->Start(), MMSYSERR_NOERROR);
    ASSERT_TRUE(fixture.WaitReturns(8));
    ASSERT_EQ(device->Stop(), MMSYSERR_NOERROR);

    const std::vector<InputFixture::Return> returns = fixture.Returns();
    ASSERT_EQ(returns.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
      EXPECT_EQ(returns[i].header, fixture.Header(i)) << "out of order at " << i;
      EXPECT_EQ(returns[i].bytes, 1024u);
      EXPECT_EQ(fixture.Header(i)->dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
      const std::vector<int16_t> expected = Numbered(8 * 512);
      EXPECT_EQ(std::memcmp(fixture.Header(i)->lpData, expected.data() + i * 512, 1024), 0) << "buffer " << i;
    }
    EXPECT_EQ(system->ReturnedBytes(), 8u * 1024u);
    EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
  }
}

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

TEST(WaveInTest, ALostDeviceReturnsItsBuffersMarkedAndRefusesMore) {
  auto system = TestWaveInSystem::Make(0.1);
  InputFixture fixture(2, 1024);
  std::unique_ptr<WaveIn> device;
  system->InjectFailure(WaveInOp::kOpen, MMSYSERR_NODRIVER);
  EXPECT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NODRIVER);
  EXPECT_EQ(device, nullptr);
  ASSERT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NOERROR) << "the failure was for one call";
  for (size_t i = 0; i < 2; ++i) ASSERT_EQ(fixture.PrepareAndAdd(*device, i), MMSYSERR_NOERROR);
  ASSERT_EQ(device->Start(), MMSYSERR_NOERROR);

  system->LoseDevices();
  ASSERT_EQ(fixture.Returns().size(), 2u);
  EXPECT_TRUE(fixture.Header(1)->dwFlags & WHDR_DEVICE_ERROR);
  EXPECT_EQ(fixture.PrepareAndAdd(*device, 0), MMSYSERR_NODRIVER);
  EXPECT_EQ(device->Start(), MMSYSERR_NODRIVER);
  EXPECT_EQ(device->Reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
}

TEST(WaveInTest, NullDeviceDeliversSilenceAtRealTime) {
  auto system = MakeNullWaveIn();
  InputFixture fixture(2, 2205 * 2);  // 2 x 100 ms
  std::unique_ptr<WaveIn> device;
  ASSERT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NOERROR);
  std::memset(fixture.Header(1)->lpData, 0x55, 2205 * 2);
  for (size_t i = 0; i < 2; ++i) ASSERT_EQ(fixture.PrepareAndAdd(*device, i), MMSYSERR_NOERROR);
  const auto start = Clock::now();
  ASSERT_EQ(device->Start(), MMSYSERR_NOERROR);
  ASSERT_TRUE(fixture.WaitReturns(2));
  // The clock is the steady clock the test reads, so 200 ms of input never arrive early; the upper
  // bound only catches a device that stalls (a loaded machine may add scheduling delay).
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(200));
  EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
  const std::vector<char> silence(2205 * 2, 0);
  EXPECT_EQ(std::memcmp(fixture.Header(1)->lpData, silence.data(), silence.size()), 0);
  EXPECT_EQ(device->Reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace melvox::platform

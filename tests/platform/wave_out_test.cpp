#include "platform/wave_out.h"

#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/event.h"
#include "platform/null_wave_out.h"
#include "platform/test_wave_out.h"

namespace melvox::platform {
namespace {

using Clock = std::chrono::steady_clock;

const WAVEFORMATEX kMono16 = MakePcmFormat(1, 22050, 16);

// Buffers with distinct contents, and a record of the done callbacks in arrival order.
class DeviceFixture {
 public:
  explicit DeviceFixture(size_t count, uint32_t bytes) : data_(count, std::vector<char>(bytes)), headers_(count) {
    for (size_t i = 0; i < count; ++i) {
      for (uint32_t b = 0; b < bytes; ++b) data_[i][b] = static_cast<char>(i * 31 + b);
      headers_[i].lpData = data_[i].data();
      headers_[i].dwBufferLength = bytes;
    }
  }
  WaveOutCallback Callback() {
    return [this](uint32_t message, WAVEHDR* header) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (message == WOM_DONE) done_.push_back(header);
      any_done_.Set();
    };
  }
  std::vector<WAVEHDR*> Done() {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_;
  }
  // Waits until n buffers came back or 5 s passed.
  bool WaitDone(size_t n) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Done().size() < n) {
      if (Clock::now() > deadline) return false;
      any_done_.Wait(50);
    }
    return true;
  }
  WAVEHDR* Header(size_t i) { return &headers_[i]; }
  MMRESULT PrepareAndWrite(WaveOut& device, size_t i) {
    if (const MMRESULT r = device.Prepare(Header(i))) return r;
    return device.Write(Header(i));
  }

 private:
  std::vector<std::vector<char>> data_;
  std::vector<WAVEHDR> headers_;
  std::mutex mutex_;
  std::vector<WAVEHDR*> done_;
  Event any_done_{EventMode::kAutoReset};
};

TEST(WaveOutTest, EveryFailureCodeHasItsOwnTextAndUnknownCodesNameTheNumber) {
  const MMRESULT codes[] = {MMSYSERR_ERROR,    MMSYSERR_BADDEVICEID, MMSYSERR_INVALHANDLE,
                            MMSYSERR_NODRIVER, MMSYSERR_NOMEM,       MMSYSERR_INVALPARAM,
                            WAVERR_BADFORMAT,  WAVERR_STILLPLAYING,  WAVERR_UNPREPARED};
  std::set<std::string> texts;
  for (MMRESULT code : codes) {
    const std::string text = WaveErrorText(code);
    EXPECT_EQ(text.find("reported error"), std::string::npos) << "code " << code << " fell back to the generic text";
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), std::size(codes)) << "two codes share a text";
  EXPECT_NE(WaveErrorText(999).find("999"), std::string::npos);
}

TEST(WaveOutTest, BackendsRefuseFormatsTheyCannotPlay) {
  struct Case {
    WAVEFORMATEX format;
    bool playable;
  };
  WAVEFORMATEX wrong_align = kMono16;
  wrong_align.nBlockAlign = 4;
  WAVEFORMATEX adpcm = kMono16;
  adpcm.wFormatTag = WAVE_FORMAT_IMA_ADPCM;
  const Case cases[] = {
      {MakePcmFormat(1, 8000, 8), true},
      {MakePcmFormat(2, 48000, 16), true},
      {MakePcmFormat(1, 22050, 24), false},
      {MakePcmFormat(0, 22050, 16), false},
      {MakePcmFormat(1, 0, 16), false},
      {wrong_align, false},
      {adpcm, false},
  };
  const std::shared_ptr<WaveOutSystem> systems[] = {MakeNullWaveOut(), TestWaveOutSystem::Make(1.0)};
  for (const auto& system : systems) {
    for (const Case& c : cases) {
      std::unique_ptr<WaveOut> device;
      const MMRESULT result = system->Open(c.format, nullptr, device);
      EXPECT_EQ(result == MMSYSERR_NOERROR, c.playable)
          << system->Name() << ": " << c.format.nChannels << " ch, " << c.format.nSamplesPerSec << " Hz, "
          << c.format.wBitsPerSample << " bits";
      EXPECT_EQ(device != nullptr, c.playable);
      if (!c.playable) {
        EXPECT_EQ(result, WAVERR_BADFORMAT);
      }
    }
  }
}

TEST(WaveOutTest, BuffersComeBackInOrderOnceEachAndTheRecordHoldsEveryByte) {
  auto system = TestWaveOutSystem::Make(50.0);
  DeviceFixture fixture(6, 2048);
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NOERROR);
  for (size_t i = 0; i < 6; ++i) ASSERT_EQ(fixture.PrepareAndWrite(*device, i), MMSYSERR_NOERROR);
  ASSERT_TRUE(fixture.WaitDone(6));
  const std::vector<WAVEHDR*> done = fixture.Done();
  ASSERT_EQ(done.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(done[i], fixture.Header(i)) << "out of order at " << i;
    EXPECT_EQ(fixture.Header(i)->dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  }
  uint32_t samples = 0;
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, 6u * 1024u) << "every written frame was played";
  const std::vector<uint8_t> written = system->Written();
  ASSERT_EQ(written.size(), 6u * 2048u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(std::memcmp(written.data() + i * 2048, fixture.Header(i)->lpData, 2048), 0) << "buffer " << i;
  }
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Write(fixture.Header(0)), MMSYSERR_INVALHANDLE);
}

TEST(WaveOutTest, HeaderRulesMatchTheBufferState) {
  auto system = TestWaveOutSystem::Make(1.0);
  DeviceFixture fixture(2, 2048);
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NOERROR);
  ASSERT_EQ(device->Pause(), MMSYSERR_NOERROR);  // nothing comes back while we look

  EXPECT_EQ(device->Write(fixture.Header(0)), WAVERR_UNPREPARED);
  EXPECT_EQ(device->Prepare(nullptr), MMSYSERR_INVALPARAM);
  ASSERT_EQ(device->Prepare(fixture.Header(0)), MMSYSERR_NOERROR);
  fixture.Header(1)->dwBufferLength = 2047;  // half a frame at the end
  ASSERT_EQ(device->Prepare(fixture.Header(1)), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Write(fixture.Header(1)), MMSYSERR_INVALPARAM);

  ASSERT_EQ(device->Write(fixture.Header(0)), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Write(fixture.Header(0)), WAVERR_STILLPLAYING);
  EXPECT_EQ(device->Unprepare(fixture.Header(0)), WAVERR_STILLPLAYING);
  EXPECT_EQ(device->Close(), WAVERR_STILLPLAYING);
  EXPECT_TRUE(fixture.Done().empty());

  ASSERT_EQ(device->Reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(fixture.Done().size(), 1u) << "a reset returns queued buffers before it returns";
  EXPECT_EQ(device->Unprepare(fixture.Header(0)), MMSYSERR_NOERROR);
  EXPECT_FALSE(fixture.Header(0)->dwFlags & WHDR_PREPARED);
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
}

TEST(WaveOutTest, PauseFreezesResetReturnsEverythingAndZeroesThePosition) {
  // Speed 10: the 4 buffers last 18.6 ms in all.
  auto system = TestWaveOutSystem::Make(10.0);
  DeviceFixture fixture(4, 2048);
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NOERROR);
  ASSERT_EQ(device->Pause(), MMSYSERR_NOERROR);
  for (size_t i = 0; i < 4; ++i) ASSERT_EQ(fixture.PrepareAndWrite(*device, i), MMSYSERR_NOERROR);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  uint32_t samples = 99;
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, 0u) << "a paused device plays nothing";
  EXPECT_TRUE(fixture.Done().empty());

  ASSERT_EQ(device->Restart(), MMSYSERR_NOERROR);
  ASSERT_TRUE(fixture.WaitDone(1));
  ASSERT_EQ(device->Pause(), MMSYSERR_NOERROR);
  uint32_t frozen = 0;
  ASSERT_EQ(device->GetPosition(frozen), MMSYSERR_NOERROR);
  EXPECT_GE(frozen, 1024u);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, frozen);

  ASSERT_EQ(device->Reset(), MMSYSERR_NOERROR);
  const std::vector<WAVEHDR*> done = fixture.Done();
  ASSERT_EQ(done.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(done[i], fixture.Header(i));
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, 0u);

  // Still paused after the reset: a new buffer waits for Restart.
  ASSERT_EQ(fixture.PrepareAndWrite(*device, 0), MMSYSERR_NOERROR);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(fixture.Done().size(), 4u);
  ASSERT_EQ(device->Restart(), MMSYSERR_NOERROR);
  ASSERT_TRUE(fixture.WaitDone(5));
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, 1024u) << "positions count from the reset";
}

TEST(WaveOutTest, InjectedFailuresHitTheChosenCallsAndALostDeviceReturnsItsBuffers) {
  auto system = TestWaveOutSystem::Make(1.0);
  DeviceFixture fixture(3, 2048);
  std::unique_ptr<WaveOut> device;
  system->InjectFailure(WaveOp::kOpen, MMSYSERR_NODRIVER);
  EXPECT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NODRIVER);
  EXPECT_EQ(device, nullptr);
  ASSERT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NOERROR) << "the failure was for one call";
  ASSERT_EQ(device->Pause(), MMSYSERR_NOERROR);

  system->InjectFailure(WaveOp::kWrite, MMSYSERR_NOMEM, 1, 1);  // the second write fails, the third works
  EXPECT_EQ(fixture.PrepareAndWrite(*device, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(fixture.PrepareAndWrite(*device, 1), MMSYSERR_NOMEM);
  EXPECT_EQ(fixture.PrepareAndWrite(*device, 2), MMSYSERR_NOERROR);
  EXPECT_EQ(system->Calls(WaveOp::kWrite), 3u);
  EXPECT_EQ(system->Written().size(), 2u * 2048u) << "a failed write hands over nothing";

  system->LoseDevices();
  const std::vector<WAVEHDR*> done = fixture.Done();
  ASSERT_EQ(done.size(), 2u);
  EXPECT_EQ(done[0], fixture.Header(0));
  EXPECT_EQ(done[1], fixture.Header(2));
  EXPECT_TRUE(fixture.Header(2)->dwFlags & WHDR_DEVICE_ERROR);
  EXPECT_EQ(fixture.PrepareAndWrite(*device, 1), MMSYSERR_NODRIVER);
  EXPECT_EQ(device->Reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
}

TEST(WaveOutTest, NullDeviceIsPacedAtRealTime) {
  auto system = MakeNullWaveOut();
  DeviceFixture fixture(2, 2205 * 2);  // 2 x 100 ms
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(system->Open(kMono16, fixture.Callback(), device), MMSYSERR_NOERROR);
  const auto start = Clock::now();
  ASSERT_EQ(fixture.PrepareAndWrite(*device, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(fixture.PrepareAndWrite(*device, 1), MMSYSERR_NOERROR);
  ASSERT_TRUE(fixture.WaitDone(2));
  // The clock is the steady clock the test reads, so 200 ms of frames never finish early; the upper
  // bound only catches a device that stalls (a loaded machine may add scheduling delay).
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(200));
  EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
  uint32_t samples = 0;
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, 4410u);
}

}  // namespace
}  // namespace melvox::platform

#include "platform/wave_out.h"

#include <chrono>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/null_wave_out.h"
#include "platform/test_wave_out.h"
#include "platform/wave_buffers.h"

namespace melvox::platform {
namespace {

using Clock = std::chrono::steady_clock;
using Buffers = testing::WaveBuffers;

const WAVEFORMATEX kMono16 = MakePcmFormat(1, 22050, 16);

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
      EXPECT_EQ(result, c.playable ? MMSYSERR_NOERROR : WAVERR_BADFORMAT)
          << system->Name() << ": " << c.format.nChannels << " ch, " << c.format.nSamplesPerSec << " Hz, "
          << c.format.wBitsPerSample << " bits";
      EXPECT_EQ(device != nullptr, c.playable);
    }
  }
}

TEST(WaveOutTest, HeaderRulesMatchTheBufferState) {
  auto system = TestWaveOutSystem::Make(1.0);
  Buffers buffers(2, 2048);
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(system->Open(kMono16, buffers.Callback(), device), MMSYSERR_NOERROR);
  ASSERT_EQ(device->Pause(), MMSYSERR_NOERROR);  // nothing comes back while we look

  EXPECT_EQ(device->Write(buffers.Header(0)), WAVERR_UNPREPARED);
  EXPECT_EQ(device->Prepare(nullptr), MMSYSERR_INVALPARAM);
  ASSERT_EQ(device->Prepare(buffers.Header(0)), MMSYSERR_NOERROR);
  buffers.Header(1)->dwBufferLength = 2047;  // half a frame at the end
  ASSERT_EQ(device->Prepare(buffers.Header(1)), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Write(buffers.Header(1)), MMSYSERR_INVALPARAM);

  ASSERT_EQ(device->Write(buffers.Header(0)), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Write(buffers.Header(0)), WAVERR_STILLPLAYING);
  EXPECT_EQ(device->Unprepare(buffers.Header(0)), WAVERR_STILLPLAYING);
  EXPECT_EQ(device->Close(), WAVERR_STILLPLAYING);
  EXPECT_TRUE(buffers.DoneList().empty());

  ASSERT_EQ(device->Reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(buffers.DoneList().size(), 1u) << "a reset returns queued buffers before it returns";
  EXPECT_EQ(device->Unprepare(buffers.Header(0)), MMSYSERR_NOERROR);
  EXPECT_FALSE(buffers.Header(0)->dwFlags & WHDR_PREPARED);
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
}

TEST(WaveOutTest, PauseFreezesResetReturnsEverythingAndBuffersComeBackInOrderWithEveryByte) {
  // Speed 10: a buffer lasts 4.6 ms.
  auto system = TestWaveOutSystem::Make(10.0);
  Buffers buffers(6, 2048);
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(system->Open(kMono16, buffers.Callback(), device), MMSYSERR_NOERROR);
  ASSERT_EQ(device->Pause(), MMSYSERR_NOERROR);
  for (size_t i = 0; i < 4; ++i) ASSERT_EQ(buffers.PrepareAndWrite(*device, i), MMSYSERR_NOERROR);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  uint32_t samples = 99;
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, 0u) << "a paused device plays nothing";
  EXPECT_TRUE(buffers.DoneList().empty());

  ASSERT_EQ(device->Restart(), MMSYSERR_NOERROR);
  ASSERT_TRUE(buffers.WaitDone(1));
  ASSERT_EQ(device->Pause(), MMSYSERR_NOERROR);
  uint32_t frozen = 0;
  ASSERT_EQ(device->GetPosition(frozen), MMSYSERR_NOERROR);
  EXPECT_GE(frozen, 1024u);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, frozen);
  ASSERT_EQ(device->Reset(), MMSYSERR_NOERROR);
  EXPECT_EQ(buffers.DoneList().size(), 4u) << "a reset returns every queued buffer before it returns";
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, 0u);

  // Played to the end: every buffer back once, in order, and the position counts from the reset.
  system->ClearWritten();
  ASSERT_EQ(device->Restart(), MMSYSERR_NOERROR);
  for (size_t i = 0; i < 6; ++i) ASSERT_EQ(buffers.PrepareAndWrite(*device, i), MMSYSERR_NOERROR);
  ASSERT_TRUE(buffers.WaitDone(10));
  const std::vector<Buffers::Done> done = buffers.DoneList();
  ASSERT_EQ(done.size(), 10u);
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(done[i].header, buffers.Header(i < 4 ? i : i - 4)) << "at " << i;
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(buffers.Header(i)->dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  ASSERT_EQ(device->GetPosition(samples), MMSYSERR_NOERROR);
  EXPECT_EQ(samples, 6u * 1024u);
  const std::vector<uint8_t> written = system->Written();
  ASSERT_EQ(written.size(), 6u * 2048u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(std::memcmp(written.data() + i * 2048, buffers.Header(i)->lpData, 2048), 0) << "buffer " << i;
  }
  EXPECT_EQ(device->Close(), MMSYSERR_NOERROR);
  EXPECT_EQ(device->Write(buffers.Header(0)), MMSYSERR_INVALHANDLE);
}

TEST(WaveOutTest, NullDeviceIsPacedAtRealTime) {
  auto system = MakeNullWaveOut();
  Buffers buffers(2, 2205 * 2);  // 2 x 100 ms
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(system->Open(kMono16, buffers.Callback(), device), MMSYSERR_NOERROR);
  const auto start = Clock::now();
  ASSERT_EQ(buffers.PrepareAndWrite(*device, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(buffers.PrepareAndWrite(*device, 1), MMSYSERR_NOERROR);
  ASSERT_TRUE(buffers.WaitDone(2));
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

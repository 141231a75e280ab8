#include "audio/recording_engine.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "audio/audio_fixture.h"
#include "core/mv_exception.h"
#include "support/thrown.h"

namespace melvox::testing {
namespace {

constexpr size_t kBufferSamples = CRecordingEngine::kBufferBytes / 2;

bool WaitReturned(platform::TestWaveInSystem& device, uint64_t bytes) {
  return WaitUntil([&] { return device.ReturnedBytes() >= bytes; });
}

// Four seconds of numbered samples: every byte of input names its place in the stream.
const std::vector<int16_t> kInput = Numbered(22050 * 4);

// The file holds, under its header, the input from its first byte on, at least `at_least` bytes of it
// and no more than the device returned.
void ExpectFileHoldsTheInput(const std::string& path, platform::TestWaveInSystem& device, uint64_t at_least) {
  const RecordedFile file = ReadRecording(path);
  EXPECT_EQ(file.header, ExpectedHeader(static_cast<uint32_t>(file.data.size())));
  EXPECT_GE(file.data.size(), at_least) << "a buffer returned before the stop is missing";
  EXPECT_LE(file.data.size(), device.ReturnedBytes()) << "more in the file than the device returned";
  ASSERT_LE(file.data.size(), kInput.size() * 2);
  const auto* input = reinterpret_cast<const uint8_t*>(kInput.data());
  const auto mismatch = std::mismatch(file.data.begin(), file.data.end(), input);
  EXPECT_EQ(mismatch.first, file.data.end())
      << "the file departs from the input at byte " << (mismatch.first - file.data.begin());
}

TEST(RecordingEngineTest, EveryByteReturnedBeforeTheStopIsInTheFileInOrderUnderItsHeader) {
  // Speed 10: 2.8 s of input in about 280 ms, six rounds of the 20 buffers. Input comes in chunks
  // smaller than a buffer that do not divide it (as a server's fragments), and in lumps of several
  // buffers (as from a server after a stall), so that several buffers come back at once, across the
  // ring's wrap-around too.
  for (const uint32_t chunk : {442u, 3000u, 7 * CRecordingEngine::kBufferBytes}) {
    SCOPED_TRACE(chunk);
    TestInputScope input(10.0, chunk);
    input.Device().Script(kInput);
    TempDir dir;
    const std::string path = dir.File("rec.wav");
    CRecordingEngine engine;
    engine.Start(path.c_str());
    ASSERT_TRUE(WaitReturned(input.Device(), 120 * CRecordingEngine::kBufferBytes));
    const uint64_t before_stop = input.Device().ReturnedBytes();
    engine.Stop();
    ExpectFileHoldsTheInput(path, input.Device(), before_stop);
    EXPECT_EQ(input.Device().LiveDevices(), 0u) << "Stop closes the device";
  }
}

TEST(RecordingEngineTest, AFailedWriteIsReportedAndTheFileKeepsWhatWasWrittenUnderItsHeader) {
  TestInputScope input(10.0);
  input.Device().Script(kInput);
  TempDir dir;
  const std::string path = dir.File("rec.wav");
  CRecordingEngine engine;
  {
    const FileSizeLimit full_disk(44 + 20000);
    engine.Start(path.c_str());
    ASSERT_TRUE(WaitReturned(input.Device(), 40 * CRecordingEngine::kBufferBytes));
    EXPECT_EQ(ErrorCodeOf([&] { engine.Stop(); }), kErrFileIo);
  }
  ExpectFileHoldsTheInput(path, input.Device(), 20000);
}

TEST(RecordingEngineTest, OneLevelPerThreeBuffersIsTheLargestMagnitudeOfThem) {
  // Each case is three buffers with a few samples set (the rest 0) and the level they must give.
  struct Placed {
    size_t buffer;
    int16_t value;
  };
  struct Case {
    std::vector<Placed> samples;
    int32_t level;
  };
  const Case cases[] = {
      {{{0, -32768}}, 0},                      // -32768 has no 16-bit magnitude: it never counts
      {{{1, -32767}}, 32767},                  //
      {{{0, -32768}, {2, 5}}, 5},              // the rest of the buffers still count
      {{{0, 100}, {1, -200}, {2, 150}}, 200},  // the largest over all three buffers
      {{}, 0},                                 // the peak starts again after each report
      {{{2, 32767}}, 32767},
  };
  std::vector<int16_t> script;
  for (const Case& c : cases) {
    std::vector<int16_t> triple(3 * kBufferSamples, 0);
    for (const Placed& p : c.samples) triple[p.buffer * kBufferSamples + 7] = p.value;
    script.insert(script.end(), triple.begin(), triple.end());
  }
  TestInputScope input(20.0);
  input.Device().Script(script);
  TempDir dir;
  const std::string path = dir.File("rec.wav");
  LevelLog log;
  CRecordingEngine engine;
  engine.SetOwner(&log);
  engine.Start(path.c_str());
  ASSERT_TRUE(log.WaitFor(std::size(cases)));
  engine.Stop();

  const std::vector<int32_t> levels = log.Values();
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(levels[i], cases[i].level) << "case " << i;
  // Buffers returned by the stop's reset are not taken, so they give no level.
  EXPECT_EQ(levels.size(), engine.DataBytes() / CRecordingEngine::kBufferBytes / 3);
}

TEST(RecordingEngineTest, ADeviceThatFailsWhileRecordingNeitherHangsNorRepeatsInput) {
  struct Case {
    const char* name;
    bool lose;  // the server goes away; otherwise buffers cannot be given back any more
  };
  for (const Case& c : {Case{"buffers refused", false}, Case{"device lost", true}}) {
    SCOPED_TRACE(c.name);
    TestInputScope input(10.0);
    input.Device().Script(kInput);
    if (!c.lose) {
      // The 20 buffers of Start are queued, then 10 given back; every later give-back is refused.
      input.Device().InjectFailure(platform::WaveInOp::kAddBuffer, MMSYSERR_NOMEM, 30, 1000000);
    }
    TempDir dir;
    const std::string path = dir.File("rec.wav");
    CRecordingEngine engine;
    engine.Start(path.c_str());
    ASSERT_TRUE(WaitReturned(input.Device(), 25 * CRecordingEngine::kBufferBytes));
    if (c.lose) input.Device().LoseDevices();
    // Long enough for a worker that took a buffer twice, or spun, to show it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint64_t before_stop = input.Device().ReturnedBytes();
    EXPECT_EQ(engine.DeviceLost(), c.lose);
    // A lost device is told at Stop, once the file is complete.
    if (c.lose) {
      EXPECT_THROW(engine.Stop(), CMVException);
    } else {
      engine.Stop();
    }
    ExpectFileHoldsTheInput(path, input.Device(), before_stop);
  }
}

}  // namespace
}  // namespace melvox::testing

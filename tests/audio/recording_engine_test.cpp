#include "audio/recording_engine.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/audio_fixture.h"
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

TEST(RecordingEngineTest, OneLevelPerThreeBuffersIsTheLargestMagnitudeOfThem) {
  // Each case is three buffers, each with one sample set (the rest 0), and the level they must give.
  struct Case {
    int16_t peaks[3];
    int32_t level;
  };
  const Case cases[] = {
      {{-32768, 0, 0}, 0},      // -32768 has no 16-bit magnitude: it never counts
      {{0, -32767, 0}, 32767},  //
      {{-32768, 0, 5}, 5},      // the rest of the buffers still count
      {{100, -200, 150}, 200},  // the largest over all three buffers
      {{0, 0, 0}, 0},           // the peak starts again after each report
      {{0, 0, 32767}, 32767},
  };
  std::vector<int16_t> script;
  for (const Case& c : cases) {
    std::vector<int16_t> triple(3 * kBufferSamples, 0);
    for (size_t b = 0; b < 3; ++b) triple[b * kBufferSamples + 7] = c.peaks[b];
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

// Every byte returned before the stop is in the file in order under its header, and a failure while
// recording neither hangs nor repeats input: Stop reports it once the file holds what was written.
// Speed 10: 2.8 s of input in about 280 ms, six rounds of the 20 buffers. Input comes in chunks smaller
// than a buffer that do not divide it (as a server's fragments), and in lumps of several buffers (as
// from a server after a stall), so that several buffers come back at once, across the ring's wrap-around
// too.
TEST(RecordingEngineTest, EveryByteReturnedBeforeTheStopIsInTheFileAndFailuresAreReportedAtStop) {
  enum class Failure { kNone, kBuffersRefused, kDeviceLost, kDiskFull };
  struct Case {
    Failure failure;
    uint32_t chunk;
    int32_t stop_error;  // -1: none
  };
  const Case cases[] = {
      {Failure::kNone, 442, -1},
      {Failure::kNone, 3000, -1},
      {Failure::kNone, 7 * CRecordingEngine::kBufferBytes, -1},
      {Failure::kBuffersRefused, 442, -1},
      {Failure::kDeviceLost, 442, kErrAudioInit},
      {Failure::kDiskFull, 442, kErrFileIo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("failure " + std::to_string(static_cast<int>(c.failure)) + ", chunk " + std::to_string(c.chunk));
    TestInputScope input(10.0, c.chunk);
    input.Device().Script(kInput);
    if (c.failure == Failure::kBuffersRefused) {
      // The 20 buffers of Start are queued, then 10 given back; every later give-back is refused.
      input.Device().InjectFailure(platform::WaveInOp::kAddBuffer, MMSYSERR_NOMEM, 30, 1000000);
    }
    TempDir dir;
    const std::string path = dir.File("rec.wav");
    CRecordingEngine engine;
    std::optional<FileSizeLimit> full_disk;
    if (c.failure == Failure::kDiskFull) full_disk.emplace(44 + 20000);
    engine.Start(path.c_str());
    const uint32_t buffers = c.failure == Failure::kNone ? 120 : 25;
    ASSERT_TRUE(WaitReturned(input.Device(), buffers * CRecordingEngine::kBufferBytes));
    if (c.failure == Failure::kDeviceLost) input.Device().LoseDevices();
    // Long enough for a worker that took a buffer twice, or spun, to show it.
    if (c.failure != Failure::kNone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint64_t before_stop = input.Device().ReturnedBytes();
    EXPECT_EQ(engine.DeviceLost(), c.failure == Failure::kDeviceLost);
    EXPECT_EQ(ErrorCodeOf([&] { engine.Stop(); }), c.stop_error);
    full_disk.reset();
    ExpectFileHoldsTheInput(path, input.Device(), c.failure == Failure::kDiskFull ? 20000 : before_stop);
    EXPECT_EQ(input.Device().LiveDevices(), 0u) << "Stop closes the device";
  }
}

}  // namespace
}  // namespace melvox::testing

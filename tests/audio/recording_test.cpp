// The recording engine, which writes what the wave-input device returns to a file and reports levels,
// and the recorder, the host's face of it.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "audio/audio_fixture.h"
#include "audio/recording_engine.h"
#include "audio/sound_recorder.h"
#include "platform/temp_file.h"
#include "samples/speech_like.h"
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
void ExpectFileHoldsTheInput(const RecordedFile& file, platform::TestWaveInSystem& device, uint64_t at_least) {
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
    ExpectFileHoldsTheInput(ReadRecording(path), input.Device(), c.failure == Failure::kDiskFull ? 20000 : before_stop);
    EXPECT_EQ(input.Device().LiveDevices(), 0u) << "Stop closes the device";
  }
}

TEST(SoundRecorderTest, TheTemporaryFileIsTheRecordersOwnAndAFailedStartLeavesItAnEmptyRecording) {
  TestInputScope input(10.0);
  std::string path;
  {
    CSoundRecorder recorder;
    path = recorder.GetFileName();
    EXPECT_EQ(path.rfind(platform::TempFolder() + "/tmp", 0), 0u) << path;
    EXPECT_EQ(ReadFileBytes(path), ExpectedHeader(0)) << "made by the constructor, an empty recording";

    // A folder, or a link to another file, where the file should be: it is not opened, and the file the
    // link names is neither emptied nor written.
    TempDir folder;
    const std::string other = folder.Write("other", {1, 2, 3});
    ASSERT_EQ(::unlink(path.c_str()), 0);
    for (const bool link : {false, true}) {
      ASSERT_EQ(link ? ::symlink(other.c_str(), path.c_str()) : ::mkdir(path.c_str(), 0700), 0);
      EXPECT_EQ(HostMessageOf([&] { recorder.Start(); }), "Cannot open file");
      ASSERT_EQ(::remove(path.c_str()), 0);
    }
    EXPECT_EQ(ReadFileBytes(other), (Bytes{1, 2, 3}));

    input.Device().InjectFailure(platform::WaveInOp::kOpen, MMSYSERR_NODRIVER);
    EXPECT_EQ(HostMessageOf([&] { recorder.Start(); }), "Could not init audio system");
    EXPECT_EQ(ReadRecording(path).header, ExpectedHeader(0)) << "left as a valid empty recording";
    EXPECT_TRUE(input.Boxes().empty()) << "no message box for input devices";

    // The recorder recovers, under the same name; a file deleted between recordings is made anew.
    for (int i = 0; i < 2; ++i) {
      ASSERT_TRUE(i == 0 || ::unlink(path.c_str()) == 0);
      recorder.Start();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      recorder.Stop();
      EXPECT_EQ(recorder.GetFileName(), path) << "recording " << i;
      EXPECT_GT(ReadRecording(path).data.size(), 0u);
      struct stat info {};
      ASSERT_EQ(::stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, 0600u) << "recording " << i;
    }

    // No backend put in use and no sound server: the device does not open (never a silent null device).
    ::setenv("PULSE_SERVER", "unix:/nonexistent/melvox-test-server", 1);
    platform::SetWaveInSystem(nullptr);
    EXPECT_EQ(HostMessageOf([&] { recorder.Start(); }), "Could not init audio system");
    ::unsetenv("PULSE_SERVER");
  }
  EXPECT_FALSE(std::filesystem::exists(path)) << "deleted with the recorder";

  // The library's recorder is one for the process, with its file.
  ISoundRecorder& recorder = GetRecorder();
  EXPECT_EQ(&GetRecorder(), &recorder);
  EXPECT_TRUE(std::filesystem::exists(recorder.GetFileName()));
}

TEST(SoundRecorderTest, EachListenerGetsItsNewestLevelsInOrderAtMostOnePairPer50Ms) {
  CSoundRecorder recorder;
  LevelLog first;
  LevelLog second;
  recorder.OnLevel(99);  // no listener yet: nothing is queued
  recorder.AddListener(&first);
  recorder.AddListener(&second);
  recorder.AddListener(&first);  // once only
  // As the capture thread reports them, far faster than they are delivered: each listener keeps its
  // newest four in its turn (a delivery may slip in while they are reported and take one more out).
  constexpr int32_t kReported = 50;
  for (int32_t level = 1; level <= kReported; ++level) recorder.OnLevel(level);
  const std::vector<int32_t> newest = {47, 48, 49, 50};
  std::vector<Clock::time_point> times;
  for (LevelLog* log : {&first, &second}) {
    ASSERT_TRUE(log->WaitFor(newest.size()));
    ASSERT_TRUE(WaitUntil([&] { return log->Values().back() == kReported; }));
    std::vector<int32_t> values = log->Values();
    ASSERT_LE(values.size(), newest.size() + 1);
    EXPECT_EQ(std::vector<int32_t>(values.end() - newest.size(), values.end()), newest);
    for (const Level& level : log->Entries()) times.push_back(level.at);
  }
  std::sort(times.begin(), times.end());
  // Each delivery follows a wait of 50 ms on the steady clock that begins after the previous delivery
  // returned, so no two are closer; 1 ms covers the granularity of reading that clock twice.
  for (size_t i = 1; i < times.size(); ++i) {
    EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(49)) << "delivery " << i;
  }

  // A removed listener hears nothing more, not even the levels already queued for it.
  const size_t second_heard = second.Count();
  for (int32_t level = 1; level <= kReported; ++level) recorder.OnLevel(level);
  recorder.RemoveListener(&first);
  const size_t heard = first.Count();
  ASSERT_TRUE(second.WaitFor(second_heard + newest.size()));
  EXPECT_EQ(first.Count(), heard);
}

TEST(SoundRecorderTest, CompareSeesTheFileAsItStandsAndOnlyTheDetectedSound) {
  constexpr uint32_t kRate = 22050;
  const std::vector<int16_t> phrase = samples::SpeechLike(kRate, samples::DemoPhrase(), samples::Voice{});
  TempDir folder;
  const std::string phrase_path = folder.Write("phrase.wav", PcmWav16(phrase, kRate));
  // The phrase said after 1.5 s of room noise and followed by 2 s more, as a speaker might.
  std::vector<int16_t> said = samples::WhiteNoise(kRate, 1500, 60.0f, 3);
  for (const auto& part : {phrase, samples::WhiteNoise(kRate, 2000, 60.0f, 4)})
    said.insert(said.end(), part.begin(), part.end());
  // Speed 20: the 4.9 s take about 250 ms.
  TestInputScope input(20.0);
  input.Device().Script(said);
  CSoundRecorder recorder;

  EXPECT_EQ(recorder.Compare(phrase_path.c_str()), 0) << "before the first recording the file holds no sound";
  recorder.Start();
  EXPECT_EQ(recorder.Compare(phrase_path.c_str()), 0) << "during a recording the file holds no sound yet";
  while (input.Device().ReturnedBytes() < said.size() * 2 + 44100) {  // and half a second more
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  recorder.Stop();
  ASSERT_GE(ReadRecording(recorder.GetFileName()).data.size(), said.size() * 2);

  // The recording holds the phrase exactly and only the detected parts are compared: 91 measured, not
  // 100, as the noise around the phrase moves the detected ends by a few frames. Compared whole, the
  // recording (4.9 s against 1.6 s) scores 48.
  EXPECT_GE(recorder.Compare(phrase_path.c_str()), 85);
  EXPECT_EQ(HostMessageOf([&] { recorder.Compare(folder.File("missing.wav").c_str()); }), "Cannot open file");
}

}  // namespace
}  // namespace melvox::testing

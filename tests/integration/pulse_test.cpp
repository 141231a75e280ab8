// The devices, the player and the recorder on a real PulseAudio server (scripts/with-pulse), whose
// default source is the null sink's monitor; the devices against tests/platform/wave_device_suite.h.
// Each test skips when no server answers.
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/audio_fixture.h"
#include "audio/sound_player.h"
#include "audio/sound_recorder.h"
#include "integration/monitor_recorder.h"
#include "platform/wave_backend.h"
#include "platform/wave_device_suite.h"
#include "platform/wave_in.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = MonitorRecorder::kRate;

// Both PulseAudio backends in use, and message boxes failing the test.
class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (platform::UseWaveBackend("pulse") != MMSYSERR_NOERROR) GTEST_SKIP() << "no PulseAudio server answers";
  }
  void TearDown() override {
    EXPECT_EQ(boxes_.Entries(), std::vector<std::string>{}) << "device errors";
    platform::SetWaveOutSystem(nullptr);
    platform::SetWaveInSystem(nullptr);
  }

  MessageBoxes boxes_;
};

// Plays the samples through the player, calling `started` once playback was asked for; true when the
// natural end came.
bool Play(const std::vector<int16_t>& samples, const std::function<void()>& started) {
  TempDir folder;
  CSoundPlayer player;
  CountingOwner ended;
  player.AddListener(&ended);
  player.Load(folder.Write("played.wav", PcmWav16(samples, kRate)).c_str(), 0);
  player.PlayOriginal();
  EXPECT_STREQ(player.DeviceName(), "pulse");
  started();
  const bool natural_end = ended.WaitEnded(10000);
  player.RemoveListener(&ended);
  return natural_end;
}

TEST_F(PulseTest, DevicesKeepTheContractOfEveryBackend) {
  // Done notifications come from the server's read index, asked for every 10 ms; the sink's latency
  // and scheduling add a few ms more (measured: -8..+11 ms around the ideal time). The position trails
  // the server's read index by what the sink still holds (about 30 ms) and one 10 ms timing update.
  ExpectWaveOutContract(*platform::CurrentWaveOutSystem(), {1.0, 15.0, 40.0, 22050 * 60 / 1000});
  ExpectWaveInContract(*platform::CurrentWaveInSystem(), 1.0, 21.5);
  ExpectWaitingInputFillsLateBuffers(*platform::CurrentWaveInSystem());
}

// Which samples arrive in which order, the recording below checks: a buffer dropped, doubled or out of
// place on the way to the sink spoils its match.
TEST_F(PulseTest, PlaybackStartsPromptlyAndArrivesWithoutAGap) {
  const std::vector<int16_t> tone = samples::Tone(kRate, 440.0f, 1000, 12000.0f);
  const size_t length = tone.size();
  MonitorRecorder monitor;
  std::string error;
  ASSERT_TRUE(monitor.Start(error)) << error;
  ASSERT_TRUE(monitor.WaitFor(kRate / 5)) << "the monitor delivers nothing";  // 200 ms of the quiet before
  const size_t mark = monitor.Samples().size();                               // where playback is asked for
  ASSERT_TRUE(Play(tone, [] {})) << "the natural end never came";
  ASSERT_TRUE(monitor.WaitFor(monitor.Samples().size() + kRate / 2));  // the tail, and quiet after it
  monitor.Stop();
  const std::vector<int16_t> recorded = monitor.Samples();

  // The first 10 ms piece after the mark that carries sound. Quiet is a null sink's silence; a tone at
  // amplitude 12000 has an RMS of 8500, so a threshold of 2000 is far from both.
  constexpr double kSoundRms = 2000.0;
  constexpr size_t kPiece = MonitorRecorder::kFragment;
  size_t onset = mark;
  while (onset + kPiece <= recorded.size() && PieceRms(recorded, onset) < kSoundRms) ++onset;
  ASSERT_LT(onset + length + 3 * kPiece, recorded.size()) << "the tone was not recorded whole";
  // The mark is taken when the recorder has seen the quiet so far; playback then starts after the
  // stream is created (a few ms) and the sink's latency (about 30 ms). A stream that waits for its
  // prebuffer, or a null sink rendering ahead, shows up as hundreds of ms.
  EXPECT_LT((onset - mark) * 1000.0 / kRate, 150.0) << "playback started late";
  // No gap: every 10 ms piece of the tone carries sound. A refill that came too late, or a buffer
  // dropped, leaves a quiet piece (one buffer is 46 ms).
  const size_t pieces = (length - kPiece) / kPiece;
  EXPECT_EQ(LoudPieces(recorded, onset, onset + pieces * kPiece, kSoundRms), pieces) << "a gap in the tone";
  // Nothing longer either: the piece after the tone is quiet again (20 ms of slack for the piece that
  // straddles the end).
  EXPECT_LT(PieceRms(recorded, onset + length + 2 * kPiece), kSoundRms) << "more sound than was played";
}

// The largest normalised cross-correlation of `played` inside `recorded`, and the lag where it is.
struct Match {
  double correlation = 0.0;
  size_t lag = 0;
};

Match BestMatch(const std::vector<int16_t>& played, const std::vector<int16_t>& recorded) {
  double played_energy = 0.0;
  for (int16_t x : played) played_energy += static_cast<double>(x) * x;
  Match best;
  for (size_t lag = 0; lag + played.size() <= recorded.size(); ++lag) {
    double dot = 0.0, energy = 0.0;  // energy: of the recorded window at the lag
    for (size_t i = 0; i < played.size(); ++i) {
      dot += static_cast<double>(played[i]) * recorded[lag + i];
      energy += static_cast<double>(recorded[lag + i]) * recorded[lag + i];
    }
    const double correlation = energy > 0.0 ? dot / std::sqrt(played_energy * energy) : 0.0;
    if (correlation > best.correlation) best = Match{correlation, lag};
  }
  return best;
}

TEST_F(PulseTest, APhrasePlayedIntoTheSinkIsRecordedWholeAndComparesWellWithIt) {
  const std::vector<int16_t> phrase = samples::SpeechLike(kRate, samples::DemoPhrase(), samples::Voice{});
  TempDir folder;
  const std::string phrase_path = folder.Write("phrase.wav", PcmWav16(phrase, kRate));
  // A take as a speaker makes it: room noise, the phrase 700 ms in, room noise after it. Recording
  // starts inside the noise, as a microphone's does (the null sink's monitor is otherwise digital
  // silence, which no room gives).
  std::vector<int16_t> take = samples::WhiteNoise(kRate, 700, 60.0f, 5);
  take.insert(take.end(), phrase.begin(), phrase.end());
  const std::vector<int16_t> tail = samples::WhiteNoise(kRate, 500, 60.0f, 6);
  take.insert(take.end(), tail.begin(), tail.end());
  CSoundRecorder recorder;
  ASSERT_TRUE(Play(take, [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    recorder.Start();
    EXPECT_STREQ(recorder.DeviceName(), "pulse");
  }));
  recorder.Stop();

  const RecordedFile file = ReadRecording(recorder.GetFileName());
  ASSERT_EQ(file.header, ExpectedHeader(static_cast<uint32_t>(file.data.size())));
  const Match match = BestMatch(phrase, AsFrames(file.data));
  // Resampling to the sink's rate and back leaves 0.96 to 0.99; a buffer dropped or doubled, below 0.7.
  EXPECT_GT(match.correlation, 0.9);
  // The phrase is 700 ms into the take and recording starts 200 ms after playback, plus the sink's
  // latency (about 30 ms) on the one side and the capture's start on the other: 490 ms measured.
  const double lag_ms = match.lag * 1000.0 / kRate;
  EXPECT_GT(lag_ms, 350.0);
  EXPECT_LT(lag_ms, 650.0);

  // The recording compares well with the phrase (95 to 99 measured); how far better than with another
  // phrase, the recorder's unit test checks.
  EXPECT_GE(recorder.Compare(phrase_path.c_str()), 85);
}

}  // namespace
}  // namespace melvox::testing

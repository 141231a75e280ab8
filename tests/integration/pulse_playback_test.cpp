// Plays a file of tones through the player on a real PulseAudio server and checks on a recording of the
// sink's monitor that the tones arrive whole, in order, promptly and without a gap. (How the position
// follows the server, the device suite checks.)
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "audio/audio_fixture.h"
#include "audio/sound_player.h"
#include "integration/monitor_recorder.h"
#include "integration/pulse_fixture.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox {
namespace {

constexpr uint32_t kRate = testing::MonitorRecorder::kRate;
constexpr uint32_t kWindow = testing::MonitorRecorder::kFragment;  // 10 ms
constexpr float kTones[] = {440.0f, 660.0f, 550.0f, 880.0f, 330.0f};
constexpr uint32_t kToneFrames = kRate / 5;  // 200 ms each

// Power of x at hz: the squared correlation with a sine and a cosine of that frequency.
double PowerAt(const int16_t* x, size_t n, float hz) {
  double re = 0.0;
  double im = 0.0;
  for (size_t i = 0; i < n; ++i) {
    re += x[i] * std::cos(2.0 * M_PI * hz * static_cast<double>(i) / kRate);
    im += x[i] * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / kRate);
  }
  return re * re + im * im;
}

double Rms(const int16_t* x) {
  double sum = 0.0;
  for (size_t i = 0; i < kWindow; ++i) sum += static_cast<double>(x[i]) * x[i];
  return std::sqrt(sum / kWindow);
}

using PulsePlaybackTest = testing::PulseTest;

TEST_F(PulsePlaybackTest, TonesArriveWholeInOrderPromptlyAndWithoutAGap) {
  std::vector<int16_t> sequence;
  for (float hz : kTones) {
    const std::vector<int16_t> tone = samples::Tone(kRate, hz, 200, 12000.0f);
    sequence.insert(sequence.end(), tone.begin(), tone.end());
  }
  const auto length = static_cast<uint32_t>(sequence.size());
  testing::TempDir folder;
  CSoundPlayer player;
  testing::CountingOwner listener;
  player.AddListener(&listener);
  player.Load(folder.Write("tones.wav", testing::PcmWav16(sequence, kRate)).c_str(), 0);

  // 200 ms of the quiet before playback; mark is where playback is asked for.
  testing::MonitorRecorder monitor;
  std::string error;
  ASSERT_TRUE(monitor.Start(error)) << error;
  ASSERT_TRUE(monitor.WaitFor(kRate / 5)) << "the monitor delivers nothing";
  const size_t mark = monitor.Samples().size();
  player.PlayOriginal();
  EXPECT_STREQ(player.DeviceName(), "pulse");
  ASSERT_TRUE(listener.WaitEnded(10000)) << "the natural end never came";
  ASSERT_TRUE(monitor.WaitFor(monitor.Samples().size() + kRate / 2));  // the tail, and quiet after it
  monitor.Stop();
  player.RemoveListener(&listener);
  const std::vector<int16_t> recorded = monitor.Samples();

  // The first 10 ms window after the mark that carries sound. Quiet is a null sink's silence; a tone at
  // amplitude 12000 has an RMS of 8500, so a threshold of 2000 is far from both.
  constexpr double kSoundRms = 2000.0;
  size_t onset = mark;
  while (onset + kWindow <= recorded.size() && Rms(&recorded[onset]) < kSoundRms) ++onset;
  ASSERT_LT(onset + length + 3 * kWindow, recorded.size()) << "the tones were not recorded whole";
  // The mark is taken when the recorder has seen the quiet so far; playback then starts after the
  // stream is created (a few ms) and the sink's latency (about 30 ms). A stream that waits for its
  // prebuffer, or a null sink rendering ahead, shows up as hundreds of ms.
  EXPECT_LT((onset - mark) * 1000.0 / kRate, 150.0) << "playback started late";
  // No gap: every 10 ms window of the sequence carries sound. A refill that came too late, or a buffer
  // dropped, leaves a quiet window (one buffer is 46 ms).
  for (size_t at = onset; at + kWindow <= onset + length - kWindow; at += kWindow) {
    ASSERT_GE(Rms(&recorded[at]), kSoundRms) << "gap at " << (at - onset) * 1000.0 / kRate << " ms";
  }
  // Nothing longer either: the window after the last tone is quiet again (20 ms of slack for the window
  // that straddles the end).
  EXPECT_LT(Rms(&recorded[onset + length + 2 * kWindow]), kSoundRms) << "more sound than was played";
  // The tones in order: the middle 100 ms of each correlates best with its own frequency.
  for (size_t k = 0; k < std::size(kTones); ++k) {
    const int16_t* middle = &recorded[onset + k * kToneFrames + kToneFrames / 4];
    const auto power = [&](size_t f) { return PowerAt(middle, kToneFrames / 2, kTones[f]); };
    size_t best = 0;
    for (size_t f = 1; f < std::size(kTones); ++f) best = power(f) > power(best) ? f : best;
    EXPECT_EQ(kTones[best], kTones[k]) << "tone " << k;
  }
}

}  // namespace
}  // namespace melvox

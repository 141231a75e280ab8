#include "integration/tone_sequence.h"

#include <algorithm>
#include <cmath>

#include "platform/pulse_wave_out.h"
#include "samples/speech_like.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = MonitorRecorder::kRate;
constexpr float kTones[] = {440.0f, 660.0f, 550.0f, 880.0f, 330.0f};
constexpr int kToneMs = 200;
constexpr uint32_t kToneFrames = kRate * kToneMs / 1000;
constexpr float kAmplitude = 12000.0f;
constexpr uint32_t kWindow = kRate / 100;  // 10 ms

// Power of x at hz: the squared correlation with a sine and a cosine of that frequency.
double PowerAt(const int16_t* x, size_t n, float hz) {
  double re = 0.0;
  double im = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double phase = 2.0 * M_PI * hz * static_cast<double>(i) / kRate;
    re += x[i] * std::cos(phase);
    im += x[i] * std::sin(phase);
  }
  return re * re + im * im;
}

double Rms(const int16_t* x, size_t n) {
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += static_cast<double>(x[i]) * x[i];
  return std::sqrt(sum / static_cast<double>(n));
}

}  // namespace

void PulseTest::SetUp() {
  system_ = platform::MakePulseAudioWaveOut();
  if (system_ == nullptr) GTEST_SKIP() << "no PulseAudio server answers (run through scripts/with-pulse)";
  platform::SetWaveOutSystem(system_);
  previous_ = platform::SetMessageBoxHandler([this](const std::string& text, const std::string&) {
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_.push_back(text);
  });
}

void PulseTest::TearDown() {
  if (system_ == nullptr) return;
  platform::SetMessageBoxHandler(previous_);
  platform::SetWaveOutSystem(nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_TRUE(boxes_.empty()) << "device error: " << boxes_.front();
}

void PulseTest::StartRecording(size_t& mark) {
  std::string error;
  ASSERT_TRUE(recorder_.Start(error)) << error;
  ASSERT_TRUE(recorder_.WaitFor(kRate / 5)) << "the monitor delivers nothing";
  mark = recorder_.Count();
}

std::vector<int16_t> PulseTest::FinishRecording() {
  EXPECT_TRUE(recorder_.WaitFor(recorder_.Count() + kRate / 2));
  recorder_.Stop();
  return recorder_.Samples();
}

std::vector<int16_t> ToneSequence() {
  std::vector<int16_t> sequence;
  for (float hz : kTones) {
    const std::vector<int16_t> tone = samples::Tone(kRate, hz, kToneMs, kAmplitude);
    sequence.insert(sequence.end(), tone.begin(), tone.end());
  }
  return sequence;
}

void ExpectToneSequenceRecorded(const std::vector<int16_t>& recorded, size_t mark, size_t length) {
  // The first 10 ms window after the mark that carries sound. Quiet is a null sink's silence; a tone
  // at amplitude 12000 has an RMS of 8500, so a threshold of 2000 is far from both.
  constexpr double kSoundRms = 2000.0;
  size_t onset = mark;
  while (onset + kWindow <= recorded.size() && Rms(&recorded[onset], kWindow) < kSoundRms) ++onset;
  ASSERT_LT(onset + length + 3 * kWindow, recorded.size()) << "the tones were not recorded whole";
  const double start_ms = (onset - mark) * 1000.0 / kRate;
  // The mark is taken when the recorder has seen the quiet so far; playback then starts after the
  // stream is created (a few ms) and the sink's latency (about 30 ms). A stream that waits for its
  // prebuffer, or a null sink rendering ahead, shows up as hundreds of ms.
  EXPECT_LT(start_ms, 150.0) << "playback started late";

  // No gap: every 10 ms window of the sequence carries sound. A refill that came too late, or a
  // buffer dropped, leaves a quiet window (one buffer is 46 ms).
  for (size_t at = onset; at + kWindow <= onset + length - kWindow; at += kWindow) {
    ASSERT_GE(Rms(&recorded[at], kWindow), kSoundRms) << "gap at " << (at - onset) * 1000.0 / kRate << " ms";
  }
  // Nothing longer either: the window after the last tone is quiet again (20 ms of slack for the
  // window that straddles the end).
  const size_t after = onset + length + 2 * kWindow;
  EXPECT_LT(Rms(&recorded[after], kWindow), kSoundRms) << "more sound than was played";

  // The tones in order: the middle 100 ms of each correlates best with its own frequency.
  for (size_t k = 0; k < std::size(kTones); ++k) {
    const int16_t* middle = &recorded[onset + k * kToneFrames + kToneFrames / 4];
    const size_t n = kToneFrames / 2;
    size_t best = 0;
    for (size_t f = 1; f < std::size(kTones); ++f) {
      if (PowerAt(middle, n, kTones[f]) > PowerAt(middle, n, kTones[best])) best = f;
    }
    EXPECT_EQ(kTones[best], kTones[k]) << "tone " << k;
  }
}

void ExpectPositionsRiseToTheEnd(const std::vector<int32_t>& positions, uint32_t length) {
  ASSERT_FALSE(positions.empty());
  EXPECT_GE(positions.front(), 0);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << "a position went backwards";
  EXPECT_LE(positions.back(), static_cast<int32_t>(length));
  // The last position is taken when the server has read the last buffer; it can lag the end by what
  // the sink still holds (about 30 ms) plus one 10 ms timing update.
  EXPECT_GE(positions.back(), static_cast<int32_t>(length - kRate * 60 / 1000));
}

}  // namespace melvox::testing

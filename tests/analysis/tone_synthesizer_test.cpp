#include "analysis/tone_synthesizer.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/pitch_tone.h"
#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox::testing {
namespace {

constexpr int32_t kLoud = 27851;  // the amplitude the pitch view plays its tone at

// Every sample of [first, last) lies within amplitude(k) for the k-th of them (from 1): the ramps.
template <typename Amplitude>
void ExpectWithin(const std::vector<int16_t>& s, size_t first, size_t last, Amplitude amplitude) {
  for (size_t i = first; i < last; ++i) {
    ASSERT_LE(std::abs(s[i]), amplitude(static_cast<int32_t>(i - first + 1))) << "sample " << i;
  }
}

int32_t Peak(const std::vector<int16_t>& s, size_t first, size_t last) {
  int32_t peak = 0;
  for (size_t i = first; i < last; ++i) peak = std::max(peak, std::abs(int32_t{s[i]}));
  return peak;
}

// Every call starts afresh (the concurrent analysis test makes the same pitch tone again and again).
TEST(SynthesizeTone, ThreeStepsRampUpHoldAndFadeOut) {
  EXPECT_EQ(SynthesizeTone({}), nullptr);
  const auto wave = SynthesizeTone({{200, kLoud}, {200, kLoud}, {200, kLoud}});
  ASSERT_NE(wave, nullptr);
  ASSERT_EQ(wave->SampleCount(), 1323u);
  EXPECT_EQ(wave->Kind(), SampleKind::kSigned);
  EXPECT_EQ(wave->Format().nSamplesPerSec, 44100u);
  const auto s = Samples16(*wave);
  EXPECT_GT(s[1], 0);  // a tone starts rising from 0

  ExpectWithin(s, 0, 220, [](int32_t k) { return kLoud * k / 220; });
  ExpectWithin(s, 1102, 1323, [](int32_t k) { return kLoud - kLoud * (k - 1) / 221; });
  EXPECT_LE(std::abs(s[1322]), kLoud / 221 + 1);  // the tone ends within one fade step of 0
  // In between the peaks reach the amplitude to within one step of the slope, 4 A / 220 = 507.
  EXPECT_GE(Peak(s, 220, 1102), kLoud - 507);
  EXPECT_LE(Peak(s, 220, 1102), kLoud);
  // The held part repeats after one period (220 samples) and is mirrored after half of one, to a unit
  // (the oscillator accumulates in single precision).
  for (size_t i = 220; i + 220 < 1102; ++i) {
    ASSERT_NEAR(s[i + 220], s[i], 1) << "sample " << i;
    ASSERT_NEAR(s[i + 110], -s[i], 1) << "sample " << i;
  }
}

TEST(SynthesizeTone, SilentStepBetweenTonesFadesOutAndIn) {
  for (const ToneStep silent : {ToneStep{0, kLoud}, ToneStep{200, 0}}) {
    SCOPED_TRACE(silent.pitch);
    const auto wave = SynthesizeTone({{200, kLoud}, silent, {200, kLoud}});
    ASSERT_NE(wave, nullptr);
    const auto s = Samples16(*wave);
    ExpectWithin(s, 220, 441, [](int32_t k) { return kLoud - kLoud * (k - 1) / 221; });
    EXPECT_GE(Peak(s, 0, 220), kLoud / 2);
    EXPECT_EQ(Peak(s, 441, 882), 0);
    ExpectWithin(s, 882, 1102, [](int32_t k) { return kLoud * k / 220; });
    EXPECT_GE(Peak(s, 1102, 1200), kLoud / 2);
  }
}

TEST(SynthesizeTone, PhaseCarriesOnAcrossStepsOfAnotherPitchAndAmplitude) {
  const auto s = Samples16(*SynthesizeTone({{200, 10000}, {300, 20000}, {300, 20000}}));
  // Neither the change of pitch nor the start of a step restarts the wave: no sample moves further
  // than the steepest slope, 4 x 20000 / 147 = 544.2, plus one unit for truncating both ends.
  for (size_t i = 1; i < s.size(); ++i) ASSERT_LE(std::abs(s[i] - s[i - 1]), 546) << "sample " << i;
  EXPECT_GE(Peak(s, 661, 882), 20000 - 545);  // the new amplitude is reached
}

TEST(SynthesizeTone, PitchesAboveHalfTheRateAreSilent) {
  // Their period is taken as two samples, which meet the triangle at its zero crossings. A period of one
  // sample would make the reflections grow without bound, and one of zero would divide by zero.
  for (const uint16_t pitch : {22051, 44100, 44101, 65535}) {
    const auto wave = SynthesizeTone({{pitch, 40000}, {pitch, 40000}});
    ASSERT_NE(wave, nullptr);
    const auto s = Samples16(*wave);
    EXPECT_EQ(Peak(s, 0, s.size()), 0) << pitch;
  }
}

// The pitch view's tone: the synthesizer's tone along the contour of an analysis.
TEST(MakePitchTone, FollowsTheContourOfTheWholeWaveSilentBeforeTheSelection) {
  constexpr uint32_t kRate = 22050;
  auto wave = samples::MakeWave16(samples::Tone(kRate, 150.0f, 2000, 10000.0f), kRate);
  wave->SetSelection(kRate, 2 * kRate - 1);  // the analysis starts 1 s in
  const CSoundAnalysis analysis(wave.get(), 0);
  const std::vector<int16_t> contour = analysis.GetPitchContour(0, 2 * kRate - 1);

  const auto tone = MakePitchTone(analysis);
  ASSERT_NE(tone, nullptr);
  ASSERT_EQ(tone->SampleCount(), contour.size() * 441);
  const std::vector<int16_t> s = Samples16(*tone);
  size_t voiced = 0;
  for (size_t step = 0; step < contour.size(); ++step) {
    const int32_t peak = Peak(s, step * 441, (step + 1) * 441);
    // The first 100 steps lie before the selection: silent.
    ASSERT_EQ(peak > 0, step >= 100 && contour[step] > 0) << "step " << step;
    voiced += peak > 0 ? 1 : 0;
  }
  EXPECT_GE(voiced, 90u);  // the steady tone is voiced nearly throughout its second second
}

}  // namespace
}  // namespace melvox::testing

// The sounds the views play instead of a recording: the synthesizer's triangle tone, the pitch view's
// tone along a contour, and the crossing view's fricative runs.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/fricative_sound.h"
#include "analysis/pitch_tone.h"
#include "analysis/tone_synthesizer.h"
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

// Three loud steps, a silent one (no pitch, or no amplitude) and a last loud one: each tone rises from
// 0 over 220 samples and fades out over the 221 samples before a silent step or the end. Every call
// starts afresh (the concurrent analysis test makes the same pitch tone again and again).
TEST(SynthesizeTone, RampsUpHoldsAndFadesOutAroundSilentSteps) {
  EXPECT_EQ(SynthesizeTone({}), nullptr);
  const auto rise = [](int32_t k) { return kLoud * k / 220; };
  const auto fade = [](int32_t k) { return kLoud - kLoud * (k - 1) / 221; };
  for (const ToneStep silent : {ToneStep{0, kLoud}, ToneStep{200, 0}}) {
    SCOPED_TRACE(silent.pitch);
    const auto wave = SynthesizeTone({{200, kLoud}, {200, kLoud}, {200, kLoud}, silent, {200, kLoud}});
    ASSERT_NE(wave, nullptr);
    ASSERT_EQ(wave->SampleCount(), 5 * 441u);
    EXPECT_EQ(wave->Kind(), SampleKind::kSigned);
    const auto s = Samples16(*wave);
    EXPECT_GT(s[1], 0);  // a tone starts rising from 0
    for (const size_t step : {0, 4}) ExpectWithin(s, step * 441, step * 441 + 220, rise);
    for (const size_t step : {2, 4}) ExpectWithin(s, step * 441 + 220, step * 441 + 441, fade);
    EXPECT_EQ(Peak(s, 3 * 441, 4 * 441), 0);
    EXPECT_LE(std::abs(s[1322]), kLoud / 221 + 1);  // the tone ends within one fade step of 0
    // In between the peaks reach the amplitude to within one step of the slope, 4 A / 220 = 507.
    EXPECT_GE(Peak(s, 220, 1102), kLoud - 507);
    EXPECT_LE(Peak(s, 220, 1102), kLoud);
    EXPECT_GE(Peak(s, 4 * 441 + 220, 4 * 441 + 300), kLoud / 2);
    // The held part repeats after one period (220 samples) and is mirrored after half of one, to a
    // unit (the oscillator accumulates in single precision).
    for (size_t i = 220; i + 220 < 1102; ++i) {
      ASSERT_NEAR(s[i + 220], s[i], 1) << "sample " << i;
      ASSERT_NEAR(s[i + 110], -s[i], 1) << "sample " << i;
    }
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

// The crossing view's sound: the fricative runs of a sound, amplified.
constexpr uint32_t kFricativeRate = 44100;
constexpr int32_t kHop = 441;
constexpr int32_t kRampSamples = 43;  // R - 1, R = 44 samples in 1 ms at 44100 Hz

// The samples of a 16-bit or 8-bit signed wave.
std::vector<int32_t> Values(const CWave& wave) {
  std::vector<int32_t> values(wave.SampleCount());
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = wave.Format().wBitsPerSample == 8 ? int32_t{static_cast<int8_t>(wave.Data()[i])}
                                                  : int32_t{reinterpret_cast<const int16_t*>(wave.Data())[i]};
  }
  return values;
}

// Fricative runs are found by level (50 dB and up) and zero crossings (50 and up per step). A 100 Hz
// cosine of `quiet` is loud but crosses zero twice per 10 ms step; a burst of `loud` alternating in sign
// crosses zero at every sample. The burst fills three whole steps of the analysis grid, which starts
// at the selection start (deliberately not a multiple of the step).
TEST(MakeFricativeSound, KeepsOnlyFricativeRunsAmplifiedWithRampsAndClipping) {
  struct Case {
    int bits;
    int32_t quiet;      // in the wave's own sample units
    int32_t loud;       // 0: no fricative step at all
    int32_t held_up;    // the amplified burst where the input is positive
    int32_t held_down;  // and where it is negative
  };
  const Case cases[] = {
      {16, 1000, 1000, 2500, -2500},     // 2.5 times
      {16, 1000, 20000, 32767, -32768},  // +-50000 clip; wrapping would give -15536 and 15536
      {8, 40, 100, 127, -128},           // +-250 clip; wrapping would give -6 and 6
      {16, 1000, 0, 0, 0},
  };
  constexpr int32_t kStart = 1000;                // selection start
  constexpr int32_t kBurst = kStart + 20 * kHop;  // first sample of the burst
  constexpr int32_t kAfter = kBurst + 3 * kHop;   // first sample after it
  constexpr int32_t kLength = kAfter + 20 * kHop + 2000;
  constexpr int32_t kSelectionEnd = kLength - 1000;
  for (const Case& test : cases) {
    SCOPED_TRACE(::testing::Message() << test.bits << " bits, burst " << test.loud);
    const int32_t unit = test.bits == 8 ? 256 : 1;  // MakeWave8 keeps the upper byte
    std::vector<int16_t> input(kLength);
    for (int32_t i = 0; i < kLength; ++i) {
      const bool burst = test.loud != 0 && i >= kBurst && i < kAfter;
      input[i] = static_cast<int16_t>(
          unit * (burst ? ((i - kBurst) % 2 == 0 ? test.loud : -test.loud)
                        : std::lround(test.quiet * std::cos(6.283185307179586 * (i - kAfter) / kHop))));
    }
    auto wave = test.bits == 8 ? samples::MakeWave8(input, kFricativeRate) : samples::MakeWave16(input, kFricativeRate);
    wave->SetSelection(kStart, kSelectionEnd);
    const CSoundAnalysis analysis(wave.get(), 0);
    const auto sound = MakeFricativeSound(analysis, *wave);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->Kind(), SampleKind::kSigned);
    EXPECT_EQ(sound->SelectionStart(), kStart);
    EXPECT_EQ(sound->SelectionEnd(), kSelectionEnd);
    const std::vector<int32_t> out = Values(*sound);
    ASSERT_EQ(out.size(), size_t{kLength});
    const auto analysed_end = static_cast<int32_t>(kStart + analysis.Results().size() * kHop);
    ASSERT_GT(analysed_end, kAfter + kHop);

    const int32_t silent_until = test.loud != 0 ? kBurst : analysed_end;
    for (int32_t i = 0; i < silent_until; ++i) ASSERT_EQ(out[i], 0) << "sample " << i;
    for (int32_t i = kSelectionEnd + 1; i < kLength; ++i) ASSERT_EQ(out[i], 0) << "sample " << i;
    if (test.loud == 0) continue;

    // The fade-in reaches the held level in 43 samples, every sample keeping its input's sign.
    for (int32_t i = kBurst; i < kAfter; ++i) {
      const int32_t held = input[i] > 0 ? test.held_up : test.held_down;
      if (i < kBurst + kRampSamples) {
        ASSERT_GT(out[i] * input[i], 0) << "sample " << i;
        ASSERT_LE(std::abs(out[i]), std::abs(held)) << "sample " << i;
      } else {
        ASSERT_EQ(out[i], held) << "sample " << i;
      }
    }
    // The fade-out takes the first 43 samples of the next step; then silence to the end of the analysed
    // steps.
    EXPECT_NE(out[kAfter + kRampSamples - 1], 0);
    for (int32_t i = kAfter + kRampSamples; i < analysed_end; ++i) ASSERT_EQ(out[i], 0) << "sample " << i;
  }
}

}  // namespace
}  // namespace melvox::testing

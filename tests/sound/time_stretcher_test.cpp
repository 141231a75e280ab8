#include "sound/time_stretcher.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox {
namespace {

constexpr uint32_t kRate = 22050;

std::unique_ptr<CWave> Stretch(const CWave& wave, const std::vector<int16_t>& contour, int32_t level) {
  return CTimeStretcher().MakeStretched(wave, contour, level);
}

template <typename Sample>
std::vector<Sample> SamplesOf(const CWave& wave) {
  std::vector<Sample> samples(wave.SampleCount() * std::max<uint16_t>(wave.Format().nChannels, 1));
  std::memcpy(samples.data(), wave.Data(), samples.size() * sizeof(Sample));
  return samples;
}

template <typename Sample>
std::unique_ptr<CWave> WaveOf(const std::vector<Sample>& samples, uint16_t channels, SampleKind kind) {
  const WAVEFORMATEX format = MakePcmFormat(channels, kRate, sizeof(Sample) * 8);
  auto wave = std::make_unique<CWave>(format, static_cast<uint32_t>(samples.size() * sizeof(Sample)), samples.data());
  wave->SetSampleCount(static_cast<uint32_t>(samples.size() / channels));
  wave->SetKind(kind);
  return wave;
}

// A harmonic signal whose period is exactly `period` samples, within +-peak: five harmonics falling as
// 1/k (their sum stays below 1.9).
std::vector<int16_t> Harmonic(uint32_t period, size_t length, double peak) {
  return testing::Harmonic(period, 5, length, peak / 1.9);
}

// One sound of values within -128..127 in the three sample types: 16-bit (times 256, so that it holds the
// same values exactly), signed 8-bit and unsigned 8-bit.
std::array<std::unique_ptr<CWave>, 3> InThreeTypes(const std::vector<int16_t>& values) {
  std::vector<int16_t> s16;
  std::vector<int8_t> s8;
  std::vector<uint8_t> u8;
  for (const int16_t v : values) {
    s16.push_back(static_cast<int16_t>(v * 256));
    s8.push_back(static_cast<int8_t>(v));
    u8.push_back(static_cast<uint8_t>(v + 128));
  }
  return {WaveOf(s16, 1, SampleKind::kSigned), WaveOf(s8, 1, SampleKind::kSigned),
          WaveOf(u8, 1, SampleKind::kUnsigned8)};
}

int32_t LargestJump(const std::vector<int16_t>& s) {
  int32_t jump = 0;
  for (size_t i = 1; i < s.size(); ++i) jump = std::max(jump, std::abs(s[i] - s[i - 1]));
  return jump;
}

// How long the slowed sound lasts at each level is checked through PrepareSlowed (slowed_sound_test.cpp).
TEST(TimeStretcher, LevelsOutsideMinus200ToMinus1GiveNoWave) {
  const auto wave = samples::MakeWave16(Harmonic(184, kRate, 8000), kRate);
  const std::vector<int16_t> contour(101, 120);
  for (const int32_t level : {0, 1, -201, -100000}) EXPECT_EQ(Stretch(*wave, contour, level), nullptr) << level;
  for (const int32_t level : {-1, -200}) EXPECT_NE(Stretch(*wave, contour, level), nullptr) << level;
}

TEST(TimeStretcher, SoundShorterThanOneSegmentComesOutUnchanged) {
  // The second sound is longer than a 10 ms step but shorter than the 441-sample period of 50 Hz.
  for (const auto& [length, pitch] : {std::pair<size_t, int16_t>{200, 120}, {300, 50}}) {
    const auto input = Harmonic(150, length, 8000);
    const auto slowed = Stretch(*samples::MakeWave16(input, kRate), std::vector<int16_t>(5, pitch), -100);
    ASSERT_NE(slowed, nullptr);
    EXPECT_EQ(SamplesOf<int16_t>(*slowed), input) << length;
  }
}

// A contour that matches the signal continues the input's waveform exactly. One that does not mixes two
// phases of it: a cross-fade over W samples adds at most 2 peak / W to a jump, twice where two fades
// meet, plus a unit per truncated mix (W: 0.4 of the period voiced, 0.2 unvoiced); a splice adds 2 peak.
TEST(TimeStretcher, SmoothInputGivesSmoothOutput) {
  struct Case {
    uint32_t true_period;
    int16_t contour_hz;
    int32_t level;
  };
  const double peak = 8000;
  for (const Case& c : {Case{175, 126, -100}, Case{175, 126, -10}, Case{441, 50, -100}, Case{147, 110, -100},
                        Case{175, 150, -50}, Case{184, 100, -200}, Case{175, 0, -100}}) {
    SCOPED_TRACE(c.true_period);
    const auto input = Harmonic(c.true_period, 2 * kRate, peak);
    // The contour ends half a second before the sound, so that every inserted period has a whole period
    // of input after it to fade with.
    const auto slowed = Stretch(*samples::MakeWave16(input, kRate), std::vector<int16_t>(150, c.contour_hz), c.level);
    ASSERT_NE(slowed, nullptr);
    const auto out = SamplesOf<int16_t>(*slowed);
    const uint32_t period = kRate / static_cast<uint32_t>(c.contour_hz > 0 ? c.contour_hz : 139);
    if (period == c.true_period) {
      for (size_t i = period; i < out.size(); ++i) ASSERT_EQ(out[i], out[i - period]) << "sample " << i;
      continue;
    }
    const double fade_width = (c.contour_hz > 0 ? 2 : 1) * std::floor(period * 0.2);
    const int32_t margin = static_cast<int32_t>(std::ceil(2 * (2 * peak / fade_width))) + 2;
    EXPECT_LE(LargestJump(out), LargestJump(input) + margin);
  }
}

TEST(TimeStretcher, SampleTypesAndChannelsStretchAlike) {
  // Pitch steps that miss the signal's period, with unvoiced gaps, so that both kinds of cross-fade mix
  // unlike samples.
  std::vector<int16_t> contour(90, 110);
  for (size_t k = 20; k < contour.size(); k += 25) std::fill_n(contour.begin() + static_cast<long>(k), 6, 0);
  const auto values = Harmonic(147, kRate, 100);
  const auto waves = InThreeTypes(values);
  std::vector<int16_t> stereo;
  for (const int16_t v : values) stereo.insert(stereo.end(), {static_cast<int16_t>(v * 256), static_cast<int16_t>(-v)});
  const auto out_s16 = SamplesOf<int16_t>(*Stretch(*waves[0], contour, -50));
  const auto out_s8 = SamplesOf<int8_t>(*Stretch(*waves[1], contour, -50));
  const auto out_u8 = SamplesOf<uint8_t>(*Stretch(*waves[2], contour, -50));
  const auto out_stereo = SamplesOf<int16_t>(*Stretch(*WaveOf(stereo, 2, SampleKind::kSigned), contour, -50));
  ASSERT_EQ(out_u8.size(), out_s8.size());
  ASSERT_EQ(out_s16.size(), out_s8.size());
  ASSERT_EQ(out_stereo.size(), 2 * out_s8.size());
  for (size_t i = 0; i < out_s8.size(); ++i) {
    // Division toward zero rounds a negative signed mix up but its unsigned twin down: one unit apart.
    ASSERT_NEAR(out_u8[i] - 128, out_s8[i], 1) << "sample " << i;
    // The 16-bit mix keeps the fraction that the 8-bit one drops: less than one 8-bit unit.
    ASSERT_NEAR(out_s16[i], out_s8[i] * 256, 256) << "sample " << i;
    // Channels are stretched as one: each is the stretch of its own samples.
    ASSERT_EQ(out_stereo[2 * i], out_s16[i]) << "sample " << i;
  }
}

TEST(TimeStretcher, ExtremeContoursStayInsideTheBlocks) {
  const size_t length = 4410;  // 20 steps
  std::vector<int16_t> mixed;
  for (int i = 0; i < 40; ++i) mixed.push_back(std::vector<int16_t>{1, 20000, 0, -5, 32767}[i % 5]);
  const std::vector<std::vector<int16_t>> contours = {
      std::vector<int16_t>(20, 1), std::vector<int16_t>(20, 20000), std::vector<int16_t>(60, 120), {}, mixed};
  for (const auto& wave : InThreeTypes(Harmonic(150, length, 100))) {
    for (size_t c = 0; c < contours.size(); ++c) {
      for (const int32_t level : {-1, -100, -200}) {
        const auto slowed = Stretch(*wave, contours[c], level);
        ASSERT_NE(slowed, nullptr);
        EXPECT_LE(slowed->SampleCount(), slowed->Size() / wave->BytesPerSample()) << c << ", " << level;
        EXPECT_GE(slowed->SampleCount(), length) << c << ", " << level;
        if (contours[c].empty()) {
          EXPECT_EQ(std::memcmp(slowed->Data(), wave->Data(), wave->Size()), 0);
        }
      }
    }
  }
}

}  // namespace
}  // namespace melvox

#include "analysis/fricative_sound.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "samples/speech_like.h"

namespace melvox {
namespace {

constexpr uint32_t kRate = 44100;
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
    SCOPED_TRACE(testing::Message() << test.bits << " bits, burst " << test.loud);
    const int32_t unit = test.bits == 8 ? 256 : 1;  // MakeWave8 keeps the upper byte
    std::vector<int16_t> input(kLength);
    for (int32_t i = 0; i < kLength; ++i) {
      const bool burst = test.loud != 0 && i >= kBurst && i < kAfter;
      input[i] = static_cast<int16_t>(
          unit * (burst ? ((i - kBurst) % 2 == 0 ? test.loud : -test.loud)
                        : std::lround(test.quiet * std::cos(6.283185307179586 * (i - kAfter) / kHop))));
    }
    auto wave = test.bits == 8 ? samples::MakeWave8(input, kRate) : samples::MakeWave16(input, kRate);
    wave->SetSelection(kStart, kSelectionEnd);
    const CSoundAnalysis analysis(wave.get(), 0);
    const auto sound = MakeFricativeSound(analysis, *wave);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->Kind(), SampleKind::kSigned);
    EXPECT_EQ(sound->SelectionStart(), kStart);
    EXPECT_EQ(sound->SelectionEnd(), kSelectionEnd);
    const std::vector<int16_t>& in = input;
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
      const int32_t held = in[i] > 0 ? test.held_up : test.held_down;
      if (i < kBurst + kRampSamples) {
        ASSERT_GT(out[i] * in[i], 0) << "sample " << i;
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
}  // namespace melvox

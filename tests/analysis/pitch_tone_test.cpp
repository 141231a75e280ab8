#include "analysis/pitch_tone.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "samples/speech_like.h"

namespace melvox {
namespace {

TEST(MakePitchTone, FollowsTheContourOfTheWholeWaveSilentBeforeTheSelection) {
  constexpr uint32_t kRate = 22050;
  auto wave = samples::MakeWave16(samples::Tone(kRate, 150.0f, 2000, 10000.0f), kRate);
  wave->SetSelection(kRate, 2 * kRate - 1);  // the analysis starts 1 s in
  const CSoundAnalysis analysis(wave.get(), 0);
  const std::vector<int16_t> contour = analysis.GetPitchContour(0, 2 * kRate - 1);

  const auto tone = MakePitchTone(analysis);
  ASSERT_NE(tone, nullptr);
  ASSERT_EQ(tone->SampleCount(), contour.size() * 441);
  const auto* s = reinterpret_cast<const int16_t*>(tone->Data());
  size_t voiced = 0;
  int32_t loudest = 0;
  for (size_t step = 0; step < contour.size(); ++step) {
    int32_t peak = 0;
    for (size_t i = step * 441; i < (step + 1) * 441; ++i) peak = std::max(peak, std::abs(int32_t{s[i]}));
    if (step < 100) {
      ASSERT_EQ(peak, 0) << "step " << step << " lies before the selection";
    } else if (contour[step] > 0) {
      ++voiced;
      ASSERT_GT(peak, 0) << "step " << step;
    } else {
      ASSERT_EQ(peak, 0) << "step " << step;
    }
    loudest = std::max(loudest, peak);
  }
  EXPECT_GE(voiced, 90u);  // the steady tone is voiced nearly throughout its second second
  // The tone peaks at 0.85 of full scale, to within one step of the triangle's slope: 4 x 27851 / 294
  // at 150 Hz, less at a higher pitch the analysis may find.
  EXPECT_LE(loudest, kPitchToneAmplitude);
  EXPECT_GE(loudest, kPitchToneAmplitude - 4 * kPitchToneAmplitude / 294);
}

}  // namespace
}  // namespace melvox

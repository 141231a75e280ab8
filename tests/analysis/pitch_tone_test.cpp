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
  for (size_t step = 0; step < contour.size(); ++step) {
    int32_t peak = 0;
    for (size_t i = step * 441; i < (step + 1) * 441; ++i) peak = std::max(peak, std::abs(int32_t{s[i]}));
    // The first 100 steps lie before the selection: silent.
    ASSERT_EQ(peak > 0, step >= 100 && contour[step] > 0) << "step " << step;
    voiced += peak > 0 ? 1 : 0;
  }
  EXPECT_GE(voiced, 90u);  // the steady tone is voiced nearly throughout its second second
}

}  // namespace
}  // namespace melvox

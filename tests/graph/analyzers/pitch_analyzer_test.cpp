#include "graph/analyzers/pitch_analyzer.h"

#include <gtest/gtest.h>

#include "given_records.h"

namespace melvox {
namespace {

TEST(PitchAnalyzer, AHarmonicToneDrawsAFlatCurve) {
  auto wave = testing::SilenceThenTone();
  const CSoundAnalysis analysis(wave.get(), 0);
  CPitchAnalyzer analyzer;
  analyzer.Compute(&analysis);
  ASSERT_EQ(analyzer.FrameCount(), analysis.Results().size());
  ASSERT_GT(analyzer.FrameCount(), 120u);
  // Linked with a peak of 180, the tone's 150 - 60 = 90 draws at half the scale: one column per step,
  // 0 in the silence and 50 of 100 pixels inside the tone (its first and last steps left aside).
  testing::GivenValues<CValueAnalyzer> higher({180});
  analyzer.Link(&higher);
  std::vector<int32_t> out;
  const auto width = static_cast<int32_t>(analyzer.FrameCount());
  ASSERT_TRUE(analyzer.RenderColumns(out, width, 100));
  for (int32_t f = 0; f < 28; ++f) EXPECT_EQ(out[f], 0) << "step " << f;
  for (int32_t f = 33; f < width - 3; ++f) EXPECT_EQ(out[f], 50) << "step " << f;
}

}  // namespace
}  // namespace melvox

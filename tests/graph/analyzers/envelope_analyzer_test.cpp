#include "graph/analyzers/envelope_analyzer.h"

#include <gtest/gtest.h>

#include "given_records.h"

namespace melvox {
namespace {

std::vector<int32_t> Points(const CEnvelopeAnalyzer& analyzer) {
  std::vector<int32_t> points;
  analyzer.FillRow(points);
  return points;
}

TEST(EnvelopeAnalyzer, TakesTheLargestMagnitudeOfEachPieceOfTheSelection) {
  std::vector<int16_t> samples(3000);  // sample i is -i
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(-static_cast<int32_t>(i));
  auto wave = samples::MakeWave16(samples, 22050);
  CEnvelopeAnalyzer analyzer;
  struct Case {
    int32_t first, last;  // the selection
    std::vector<int32_t> points_first_last_peak;
  } const cases[] = {
      {100, 599, {500, 100, 599, 599}},  // one sample per point
      {0, 2499, {1000, 1, 1999, 1999}},  // two per point; samples 2000 to 2499 are not looked at
      {5, 4, {0, 0, 0, 0}},              // an empty selection has no points
  };
  for (const Case& c : cases) {
    wave->SetSelection(c.first, c.last);
    analyzer.Compute(*wave);
    const auto count = static_cast<int32_t>(analyzer.FrameCount());
    EXPECT_EQ(
        std::vector<int32_t>({count, analyzer.RecordAt(0, 0), analyzer.RecordAt(count - 1, 0), analyzer.PeakRecord()}),
        c.points_first_last_peak)
        << c.first << " to " << c.last;
  }
}

TEST(EnvelopeAnalyzer, ReadsBothSampleSizesAndFillsTheScaleFromTwoThirdsOfThePeak) {
  const int8_t bytes[] = {-128, 127, 0, -1};
  CEnvelopeAnalyzer analyzer;
  analyzer.Compute(CWave(MakePcmFormat(1, 8000, 8), sizeof bytes, bytes));
  EXPECT_EQ(Points(analyzer), (std::vector<int32_t>{32767, 32512, 0, 256}));
  analyzer.Compute(*samples::MakeWave16({-32768, 32767, -1, 0}, 8000));
  EXPECT_EQ(Points(analyzer), (std::vector<int32_t>{32767, 32767, 1, 0}));
  analyzer.Compute(*samples::MakeWave16(std::vector<int16_t>(50), 8000));
  EXPECT_EQ(Points(analyzer), std::vector<int32_t>(50, 0));
  EXPECT_EQ(analyzer.PeakRecord(), 1);
  std::vector<int32_t> out;
  EXPECT_TRUE(analyzer.RenderColumns(out, 2, 80));  // reference trunc(1 x 0.67) = 0: no bars
  EXPECT_EQ(out, (std::vector<int32_t>{0, 0}));
  // Reference trunc(100 x 0.67) = 67: on 67 pixels the points 100 (two columns) and 67 fill the scale.
  analyzer.Compute(*samples::MakeWave16({100, -67, 50}, 8000));
  EXPECT_TRUE(analyzer.RenderColumns(out, 4, 67));
  EXPECT_EQ(out, (std::vector<int32_t>{67, 67, 67, 50}));
  analyzer.Clear();
  EXPECT_FALSE(analyzer.RenderColumns(out, 4, 67));
}

}  // namespace
}  // namespace melvox

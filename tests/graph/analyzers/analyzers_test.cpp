// What each analyzer of the graph promises, stated on simple sounds and given frames. The exact
// numbers of the analysis are pinned by the results lock, the pictures by the graph view tests.
#include <cmath>
#include <memory>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/sound_analysis.h"
#include "graph/analyzers/color_analyzer.h"
#include "graph/analyzers/crossing_analyzer.h"
#include "graph/analyzers/envelope_analyzer.h"
#include "graph/analyzers/pitch_analyzer.h"
#include "graph/analyzers/spectrum_color_analyzer.h"
#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox {

inline void PrintTo(const ColorRecord& r, std::ostream* os) {
  *os << "{" << r.red << ", " << r.green << ", " << r.blue << ", " << r.level << "}";
}

namespace {

// A value analyzer and a colour analyzer with given frames, to drive rendering without an analysis.
struct Values : CValueAnalyzer {
  explicit Values(std::vector<int32_t> given) : values(std::move(given)) {}
  uint32_t FrameCount() const override { return static_cast<uint32_t>(values.size()); }
  int32_t RecordAt(int32_t f, int32_t) const override { return size_t(f) < values.size() ? values[f] : 0; }
  std::vector<int32_t> values;
};

struct Records : CColorAnalyzer {
  explicit Records(std::vector<ColorRecord> given) : records(std::move(given)) {}
  int32_t RowCount() const override { return 1; }
  uint32_t FrameCount() const override { return static_cast<uint32_t>(records.size()); }
  bool HasData() const override { return !records.empty(); }
  void Clear() override { records.clear(); }
  ColorRecord RecordAt(int32_t f, int32_t) const override {
    return size_t(f) < records.size() ? records[f] : kEmptyColorRecord;
  }
  std::vector<ColorRecord> records;
};

// 300 ms of silence (steps 0 to 29), then 1 s of a harmonic tone whose period is `period` samples.
std::unique_ptr<CWave> SilenceThenTone(double period) {
  return samples::MakeWave16(testing::Harmonic(period, 5, 22050 * 13 / 10, 6000.0, 22050 * 3 / 10), 22050);
}

TEST(EnvelopeAnalyzer, FollowsThePeakLevelAndFillsTheScaleFromTwoThirdsOfIt) {
  // Loud, then quiet: every point of the loud half lies above every point of the quiet half.
  std::vector<int16_t> samples(2000, 0);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>((i % 2 ? -1 : 1) * (i < 1000 ? 9000 : 900));
  CEnvelopeAnalyzer analyzer;
  analyzer.Compute(*samples::MakeWave16(samples, 22050));
  std::vector<int32_t> points;
  ASSERT_TRUE(analyzer.FillRow(points));
  ASSERT_EQ(points.size(), 1000u);
  EXPECT_EQ(analyzer.PeakRecord(), 9000);
  for (size_t p = 0; p < points.size(); ++p) EXPECT_EQ(points[p], p < 500 ? 9000 : 900) << "point " << p;
  // Reference trunc(100 x 0.67) = 67: on 67 pixels the points 100 and 67 fill the scale.
  std::vector<int32_t> out;
  analyzer.Compute(*samples::MakeWave16({100, -67, 50}, 8000));
  EXPECT_TRUE(analyzer.RenderColumns(out, 4, 67));
  EXPECT_EQ(out, (std::vector<int32_t>{67, 67, 67, 50}));
  analyzer.Clear();
  EXPECT_FALSE(analyzer.RenderColumns(out, 4, 67));
}

TEST(CrossingAnalyzer, MarksOnlyLoudHissingSteps) {
  struct Case {
    float level_db;
    uint8_t crossings;
    int32_t value;
  } const cases[] = {{49.9f, 200, 0}, {50.0f, 200, 200}, {60.0f, 49, 0}, {NAN, 200, 0}};
  for (const Case& c : cases) {
    FrameResult result;
    result.level_db = c.level_db;
    result.zero_crossings = c.crossings;
    EXPECT_EQ(CCrossingAnalyzer::StepValue(result), c.value) << c.level_db << " dB, " << int{c.crossings};
  }
}

TEST(PitchAnalyzer, FollowsATonesPitch) {
  auto wave = SilenceThenTone(147);  // 150 Hz
  const CSoundAnalysis analysis(wave.get(), 0);
  CPitchAnalyzer analyzer;
  analyzer.Compute(&analysis);
  ASSERT_EQ(analyzer.FrameCount(), analysis.Results().size());
  // Linked with a peak of 180, the tone's 150 - 60 = 90 draws at half the scale: 0 in the silence and
  // 50 of 100 pixels inside the tone (its first and last steps left aside).
  Values higher({180});
  analyzer.Link(&higher);
  std::vector<int32_t> out;
  const auto width = static_cast<int32_t>(analyzer.FrameCount());
  ASSERT_TRUE(analyzer.RenderColumns(out, width, 100));
  for (int32_t f = 0; f < 28; ++f) EXPECT_EQ(out[f], 0) << "step " << f;
  for (int32_t f = 33; f < width - 3; ++f) EXPECT_EQ(out[f], 50) << "step " << f;
}

TEST(SpectrumColorAnalyzer, ALowAndAHighToneHaveDifferentColours) {
  ColorRecord middle[2];
  const double periods[] = {147, 21};  // 150 Hz and 1050 Hz
  for (int i = 0; i < 2; ++i) {
    auto wave = SilenceThenTone(periods[i]);
    const CSoundAnalysis analysis(wave.get(), 0);
    const CSpectralAnalysis spectral(analysis);
    CSpectrumColorAnalyzer analyzer;
    analyzer.Compute(&spectral);
    EXPECT_EQ(analyzer.RecordAt(10, 0), kEmptyColorRecord);  // the silence has no colour
    middle[i] = analyzer.RecordAt(80, 0);
    EXPECT_GT(middle[i].level, 0);
  }
  // The palette runs from blue at the low bins to red at the high ones.
  EXPECT_GT(middle[1].red - middle[1].blue, middle[0].red - middle[0].blue)
      << ::testing::PrintToString(middle[0]) << " " << ::testing::PrintToString(middle[1]);
}

TEST(ValueAndColorAnalyzers, SmoothingFramesIntoColumnsKeepsTheColumnCountAndTheScale) {
  for (int32_t width : {1, 3, 10, 250}) {
    std::vector<int32_t> out;
    ASSERT_TRUE(Values({10, -200, 30, 40, 50, 60, 70, 80, 90, 100}).RenderColumns(out, width, 100));
    EXPECT_EQ(out.size(), size_t(width));
    for (int32_t v : out) EXPECT_LE(std::abs(v), 100) << width << " columns";
    std::vector<ColorRecord> colours;
    ASSERT_TRUE(Records({{1, 2, 3, 5}, {4, 5, 6, 37}, {7, 8, 9, 0}}).RenderColumns(colours, width, {1, 1, 1, 98}));
    EXPECT_EQ(colours.size(), size_t(width));
    for (const ColorRecord& c : colours) EXPECT_LE(c.level, 98) << width << " columns";
  }
  std::vector<int32_t> out(3, 7);
  EXPECT_FALSE(Values({}).RenderColumns(out, 10, 100));
  EXPECT_TRUE(out.empty());
}

TEST(ValueAnalyzer, SharesTheLargestPeakWithLinkedAnalyzersUntilTheyGo) {
  Values a({3, -7, 5});
  a.Compute(nullptr);
  EXPECT_EQ(a.ReferenceRecord(), 7);
  {
    Values b({-20});
    a.Link(&b);
    EXPECT_EQ(a.ReferenceRecord(), 20);
    EXPECT_EQ(b.ReferenceRecord(), 20);
  }
  EXPECT_EQ(a.ReferenceRecord(), 7);  // b left a's set (ASan would report a read of it)
}

}  // namespace
}  // namespace melvox

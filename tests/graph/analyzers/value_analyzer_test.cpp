#include "graph/analyzers/value_analyzer.h"

#include <gtest/gtest.h>

#include "given_records.h"

namespace melvox {
namespace {

using Values = testing::GivenValues<CValueAnalyzer>;

TEST(ValueAnalyzer, SpreadsFramesOverColumnsAndLimitsThemToTheScale) {
  struct Case {
    std::vector<int32_t> values;
    int32_t width, reference;
    std::vector<int32_t> columns;  // at scale 100
  } const cases[] = {
      // 4 frames on 10 columns (step 2.5): frames 0 to 3 reach columns 2, 5, 7 and 10.
      {{10, 20, 30, 40}, 10, 100, {10, 10, 10, 20, 20, 20, 30, 30, 40, 40}},
      // 10 frames on 4 columns (step 0.4): means of {0}, {1, 2}, {3, 4}, {5, 6, 7}; 8 and 9 are not read.
      {{0, 10, 20, 30, 40, 50, 60, 70, 800, 900}, 4, 100, {0, 15, 35, 60}},
      // Step 1: frame f reaches column f + 1, so the last frame is not read. Beyond the reference: +-scale.
      {{150, -150, 50}, 3, 100, {100, 100, -100}},
      {{30, 60}, 2, 0, {0, 0}},  // a reference of 0 renders zeros
      {{30, 60}, -1, 100, {}},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> out(3, 7);
    EXPECT_TRUE(Values(c.values).RenderColumnsWith(out, c.width, 100, c.reference));
    EXPECT_EQ(out, c.columns) << c.width << " columns";
  }
  std::vector<int32_t> out(3, 7);
  EXPECT_FALSE(Values({}).RenderColumns(out, 10, 100));
  EXPECT_TRUE(out.empty());
}

TEST(ValueAnalyzer, CachesThePeakAndSharesTheLargestWithLinkedAnalyzers) {
  Values a({3, -7, 5});
  EXPECT_EQ(a.PeakRecord(), 7);
  a.values = {1};
  EXPECT_EQ(a.ReferenceRecord(), 7);  // cached until Compute
  a.Compute(nullptr);
  EXPECT_EQ(a.ReferenceRecord(), 1);
  {
    Values b({-20});
    a.Link(&b);
    EXPECT_EQ(a.ReferenceRecord(), 20);
    EXPECT_EQ(b.ReferenceRecord(), 20);
  }
  EXPECT_EQ(a.ReferenceRecord(), 1);  // b left a's set (ASan would report a read of it)
}

TEST(ValueAnalyzer, SamplesAndPaintsThePixelsOfAPicture) {
  Values a({10, 20, 30, 40});
  int32_t value = 0, frame = -1, row = -1;
  // 2 pixels of 2 frames: pixel 1 covers frames 2 to 4, taken back to 3. 8 pixels of 0.5 frame: pixel 2
  // shows frame trunc(3 x 0.5) = 1.
  EXPECT_TRUE(a.SampleAt(1, 0, 2, 1, value, &frame, &row));
  EXPECT_EQ(std::vector<int32_t>({value, frame, row}), std::vector<int32_t>({35, 2, 0}));
  EXPECT_TRUE(a.SampleAt(2, 0, 8, 3, value, &frame, nullptr));
  EXPECT_EQ(std::vector<int32_t>({value, frame}), std::vector<int32_t>({20, 1}));
  EXPECT_FALSE(a.SampleAt(2, 0, 2, 1, value, nullptr, nullptr));
  CValueAnalyzer::Grid grid;
  EXPECT_TRUE(a.RenderImage(grid, 2, 1, 80));  // means of frames 0-2 and 2-3 against the peak 40
  EXPECT_EQ(grid, (CValueAnalyzer::Grid{{40}, {70}}));
  EXPECT_FALSE(Values({}).RenderImage(grid, 2, 1, 80));
  EXPECT_TRUE(grid.empty());
}

}  // namespace
}  // namespace melvox

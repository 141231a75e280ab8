#include "graph/analyzers/color_analyzer.h"

#include <gtest/gtest.h>

#include "given_records.h"

namespace melvox {
namespace {

using testing::GivenRecords;

constexpr ColorRecord kParams{65535, 65535, 65535, 98};  // a view 100 pixels high

// Frame f is {f, 2f, 3f, level}, the level 5, or 37 at frame `loudest`.
GivenRecords Frames(int32_t count, int32_t loudest) {
  std::vector<ColorRecord> records;
  for (int32_t f = 0; f < count; ++f) records.push_back({f, 2 * f, 3 * f, f == loudest ? 37 : 5});
  return GivenRecords(records);
}

TEST(ColorAnalyzer, SpreadsFramesOverColumnsWithBarsScaledToTheLoudest) {
  std::vector<ColorRecord> out;
  // 100 frames onto 250 columns: frame 0 paints columns 0 to 2, frame 1 3 to 5, frame 2 6 and 7. The
  // loudest frame's bar is trunc(37 x (98 / 37)) in single precision: 98, or 97 by rounding.
  ASSERT_TRUE(Frames(100, 1).RenderColumns(out, 250, kParams));
  ASSERT_EQ(out.size(), 250u);
  const int32_t frame_of[] = {0, 0, 0, 1, 1, 1, 2, 2};
  for (int32_t c = 0; c < 8; ++c) EXPECT_EQ(out[c].red, frame_of[c]) << "column " << c;
  EXPECT_TRUE(out[3].level == 98 || out[3].level == 97) << out[3].level;
  EXPECT_EQ(out[0].level, 13);  // trunc(5 x 98 / 37)
  // 250 frames onto 100 columns: column 0 is frame 0, column 1 the mean of frames 1 and 2, column 2 of 3
  // and 4 (integer means); every level is 5, the reference level too.
  ASSERT_TRUE(Frames(250, -1).RenderColumns(out, 100, kParams));
  EXPECT_EQ(std::vector<ColorRecord>(out.begin(), out.begin() + 3),
            (std::vector<ColorRecord>{{0, 0, 0, 98}, {1, 3, 4, 98}, {3, 7, 10, 98}}));
  // All levels 0: the reference level is 1 and every bar is 0 high.
  ASSERT_TRUE(GivenRecords({{1, 2, 3, 0}, {4, 5, 6, 0}}).RenderColumns(out, 4, kParams));
  for (const ColorRecord& column : out) EXPECT_EQ(column.level, 0);
  EXPECT_FALSE(GivenRecords({}).RenderColumns(out, 10, kParams));
  EXPECT_TRUE(out.empty());
}

TEST(ColorAnalyzer, PeakIsTheLatestGreatestLevelAndLinksShareTheMostColourful) {
  GivenRecords a({{1, 1, 1, 5}, {2, 2, 2, 5}, {0, 0, 0, 3}});
  GivenRecords dark({{0, 0, 0, 4}});
  GivenRecords grey({{7, 7, 7, 1}});  // no level above 1: {0, 0, 0, 1}
  EXPECT_EQ(a.PeakRecord(), (ColorRecord{2, 2, 2, 5}));
  EXPECT_EQ(GivenRecords({}).PeakRecord(), ColorRecord{});
  dark.Link(&grey);  // no member has colour: each keeps its own peak
  EXPECT_EQ(dark.ReferenceRecord(), (ColorRecord{0, 0, 0, 4}));
  EXPECT_EQ(grey.ReferenceRecord(), (ColorRecord{0, 0, 0, 1}));
  {
    GivenRecords b({{9, 0, 0, 2}});
    a.Link(&b);
    a.Link(&grey);
    EXPECT_EQ(a.ReferenceRecord(), (ColorRecord{9, 0, 0, 2}));  // colour sum 9 beats 6 and 0
    EXPECT_EQ(grey.ReferenceRecord(), (ColorRecord{2, 2, 2, 5}));
  }
  EXPECT_EQ(a.ReferenceRecord(), (ColorRecord{2, 2, 2, 5}));

  std::array<int32_t, 3> colour{};
  EXPECT_TRUE(a.SampleAt(0, 0, 1, 1, colour, nullptr, nullptr));  // the three frames' mean colour
  EXPECT_EQ(colour, (std::array<int32_t, 3>{1, 1, 1}));
}

}  // namespace
}  // namespace melvox

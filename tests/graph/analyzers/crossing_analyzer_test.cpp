#include "graph/analyzers/crossing_analyzer.h"

#include <cmath>

#include <gtest/gtest.h>

#include "given_records.h"

namespace melvox {
namespace {

TEST(CrossingAnalyzer, KeepsTheCrossingsOfLoudNoisyStepsAndRendersOnAFixedReference) {
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
  // On 90 pixels 80 crossings give trunc(80 x 90 / 160) = 45 and 200 the limit 90, whatever the peak.
  std::vector<int32_t> out;
  EXPECT_TRUE(testing::GivenValues<CCrossingAnalyzer>({80, 200, 200}).RenderColumns(out, 2, 90));
  EXPECT_EQ(out, (std::vector<int32_t>{45, 90}));
  CCrossingAnalyzer empty;
  EXPECT_FALSE(empty.RenderColumns(out, 2, 90));
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(empty.RecordAt(0, 0), 0);
}

}  // namespace
}  // namespace melvox

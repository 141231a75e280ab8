// What the analysis derives from its steps once they are analysed: the smoothed pitch contour, the
// voiced segments with their contour shapes, and the noisy segments.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/pitch_segment.h"
#include "analysis/pitch_smoothing.h"
#include "analysis/time_segment.h"
#include "analysis/value_segment.h"

namespace melvox {
namespace {

// 8000 Hz with the default range: lags 18 (440 Hz) to 133 (60 Hz).
constexpr uint32_t kRate = 8000;
constexpr int32_t kMinLag = 18;
constexpr int32_t kMaxLag = 133;

// One result per lag; 0 is an unvoiced step. Voiced steps get pitch rate / lag and the lag as their
// only candidate.
std::vector<FrameResult> Steps(const std::vector<int32_t>& lags) {
  std::vector<FrameResult> results(lags.size());
  for (size_t i = 0; i < lags.size(); ++i) {
    if (lags[i] == 0) continue;
    results[i].pitch_hz = static_cast<int16_t>(kRate / static_cast<uint32_t>(lags[i]));
    results[i].candidates.push_back(PitchCandidate{lags[i], 1.0f});
    results[i].silent = false;
  }
  return results;
}

std::vector<int> Pitches(const std::vector<FrameResult>& results) {
  std::vector<int> pitches;
  for (const FrameResult& result : results) pitches.push_back(result.pitch_hz);
  return pitches;
}

void Smooth(std::vector<FrameResult>& results) { SmoothPitchContour(results, kRate, kMinLag, kMaxLag); }

TEST(PitchSmoothing, IsolatedStepsGoShortGapsAreFilledAndOctaveJumpsTakeTheCandidateNearTheAverage) {
  struct Case {
    const char* name;
    std::vector<int32_t> lags;
    std::vector<int> pitches;
  };
  const Case cases[] = {
      {"isolated step", {0, 0, 0, 80, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}},
      // Gap of one between 100 Hz (lag 80) and 103 Hz (lag 77): step (103 - 100) / 2 = 1.
      {"gap of one", {80, 80, 80, 80, 0, 77, 77, 77}, {100, 100, 100, 100, 101, 103, 103, 103}},
      // Gap of two between 100 Hz and 105 Hz (lag 76): step 5 / 3 = 1.
      {"gap of two", {80, 80, 80, 0, 0, 76, 76, 76}, {100, 100, 100, 101, 102, 105, 105, 105}},
      {"gap of three stays", {80, 80, 80, 0, 0, 0, 80, 80, 80}, {100, 100, 100, 0, 0, 0, 100, 100, 100}},
      // Two voiced steps within three of each other are not isolated: the gap between them is filled.
      {"pair across a gap", {0, 0, 80, 0, 0, 80, 0, 0, 0}, {0, 0, 100, 100, 100, 100, 0, 0, 0}},
      // A glide by one lag per step stays within 10 % of the running average per step of distance.
      {"glide", {90, 89, 88, 87, 86, 85, 84, 83, 82, 81, 80}, {88, 89, 90, 91, 93, 94, 95, 96, 97, 98, 100}},
  };
  for (const Case& c : cases) {
    std::vector<FrameResult> results = Steps(c.lags);
    Smooth(results);
    EXPECT_EQ(Pitches(results), c.pitches) << c.name;
  }

  // A steady run at lag 80 (100 Hz) with one step whose best lag is an octave up (40).
  std::vector<int32_t> lags(12, 80);
  lags[6] = 40;

  // With the true lag among its candidates, the step keeps its pitch at 100 Hz, and the lag moves
  // into the first candidate.
  std::vector<FrameResult> corrected = Steps(lags);
  corrected[6].candidates.push_back(PitchCandidate{80, 0.95f});
  Smooth(corrected);
  EXPECT_EQ(corrected[6].pitch_hz, 100);
  EXPECT_EQ(corrected[6].candidates[0].lag, 80);

  // Lags far outside mean / 2.1 .. mean x 2.1 never pass.
  std::vector<int32_t> outlier(12, 100);
  outlier[5] = 20;
  std::vector<FrameResult> wide = Steps(outlier);
  Smooth(wide);
  EXPECT_EQ(wide[5].candidates.size(), 1u);  // its only candidate is itself
  EXPECT_EQ(wide[5].pitch_hz, 80);           // filled from its neighbours at 80 Hz
}

// A pitch segment from t = 0 holding the given pitches, one per 10 ms.
CPitchSegment Segment(const std::vector<int>& pitches, int32_t start = 0) {
  CPitchSegment segment(static_cast<uint16_t>(pitches[0]), start);
  for (size_t i = 1; i < pitches.size(); ++i) {
    segment.Append(static_cast<uint16_t>(pitches[i]), start + static_cast<int32_t>(i) * 10);
  }
  return segment;
}

// `count` pitches on a straight line from `from` to `to`.
std::vector<int> Line(int from, int to, int count) {
  std::vector<int> pitches;
  for (int i = 0; i < count; ++i) pitches.push_back(from + (to - from) * i / (count - 1));
  return pitches;
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Results with the given pitches (0 = unvoiced).
std::vector<FrameResult> Results(const std::vector<int>& pitches) {
  std::vector<FrameResult> results(pitches.size());
  for (size_t i = 0; i < pitches.size(); ++i) results[i].pitch_hz = static_cast<int16_t>(pitches[i]);
  return results;
}

TEST(PitchSegment, ContourShapes) {
  struct Case {
    const char* name;
    std::vector<int> pitches;
    ContourShape shape;
  };
  const Case cases[] = {
      // ln(130 / 100) = 0.26 > 0.15
      {"rising", Line(100, 130, 10), ContourShape::kRising},
      {"falling", Line(130, 100, 10), ContourShape::kFalling},
      // ln(110 / 100) = 0.095: within 0.15
      {"gentle rise is level", Line(100, 110, 10), ContourShape::kLevel},
      {"level", std::vector<int>(30, 120), ContourShape::kLevel},
      // 200 ms, lowest in the middle: ln(100 / 150) = -0.41
      {"dip", Concat(Line(150, 100, 10), Line(100, 150, 10)), ContourShape::kDip},
      {"peak", Concat(Line(100, 150, 10), Line(150, 100, 10)), ContourShape::kPeak},
      // 150 ms is not longer than 150 ms: the middle is not looked at.
      {"short dip stays level", Concat(Line(150, 100, 8), Line(100, 150, 7)), ContourShape::kLevel},
      // Rising from 100 to 130 (slope 0.26) with the middle at 200: 0.69 > 1.3 x 0.26.
      {"rise with a high middle", Concat(Line(100, 200, 12), Line(200, 130, 12)), ContourShape::kPeak},
      // Rising from 100 to 133 (slope 0.25) with the middle at 183: 0.35 is 1.4 times the slope.
      {"rise with a middle just steeper", Concat(Line(100, 183, 12), Line(183, 133, 12)), ContourShape::kPeak},
      // Rising from 100 to 141 (slope 0.29) with the middle at 191: 0.35 is only 1.2 times the slope.
      {"rise with a middle not steep enough", Concat(Line(100, 191, 12), Line(191, 141, 12)), ContourShape::kRising},
      // Rising from 100 to 160 (slope 0.47) with a small bump: the slope wins.
      {"rise with a bump", Concat(Line(100, 150, 12), Line(150, 160, 12)), ContourShape::kRising},
  };
  for (const Case& c : cases) {
    CPitchSegment segment = Segment(c.pitches);
    EXPECT_EQ(segment.ClassifyContour(), c.shape) << c.name;
    EXPECT_EQ(segment.Shape(), c.shape) << c.name;
  }
}

TEST(PitchSegment, ShortSegmentsJoinTheNearestLongOneUnder99Ms) {
  struct Case {
    const char* name;
    int32_t short_start;  // ms; the long segment covers 200 .. 300
    int32_t start, end;   // of the long segment afterwards
  };
  const Case cases[] = {
      {"80 ms after", 380, 200, 390},
      {"90 ms before", 100, 100, 300},
      {"100 ms after: dropped", 400, 200, 300},
  };
  for (const Case& c : cases) {
    std::vector<CPitchSegment> longs = {Segment(std::vector<int>(10, 100), 200)};
    MergeShortSegments(longs, {Segment({140}, c.short_start)});
    ASSERT_EQ(longs.size(), 1u) << c.name;
    const CPitchSegment& merged = longs[0];
    EXPECT_EQ(merged.GetStart(), c.start) << c.name;
    EXPECT_EQ(merged.GetEnd(), c.end) << c.name;
    // Still one pitch per step, so times and pitches stay in step.
    EXPECT_EQ(merged.Pitches().size(), static_cast<size_t>(merged.GetDuration() / 10)) << c.name;
    // The steps of a gap after the long segment climb from 100 towards the 140 that joins it.
    EXPECT_TRUE(c.end == 300 || std::is_sorted(merged.Pitches().begin(), merged.Pitches().end())) << c.name;
  }

  // The nearer of two long segments takes it.
  std::vector<CPitchSegment> two = {Segment(std::vector<int>(5, 100), 0), Segment(std::vector<int>(5, 120), 200)};
  MergeShortSegments(two, {Segment({110}, 150)});
  EXPECT_EQ(two[0].GetEnd(), 50);
  EXPECT_EQ(two[1].GetStart(), 150);
}

TEST(PitchSegment, BuildKeepsLongRunsJoinsNearSingleStepsAndClassifies) {
  // A single step 20 ms after a rising run joins it; one 120 ms away is dropped; a run still open
  // after the last result is dropped.
  std::vector<int> pitches = Concat({0}, Line(100, 140, 10));
  for (const int pitch : {0, 0, 150, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 90, 0, 120, 121}) pitches.push_back(pitch);
  const std::vector<CPitchSegment> segments = BuildPitchSegments(Results(pitches));
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].GetStart(), 10);
  EXPECT_EQ(segments[0].GetEnd(), 140);
  EXPECT_EQ(segments[0].Shape(), ContourShape::kRising);
}

TEST(ValueSegment, NoiseSegmentsOfLoudHighCrossingSteps) {
  // Steps: level 60 dB; zero crossings as listed.
  const auto steps = [](const std::vector<int>& crossings, float level) {
    std::vector<FrameResult> results(crossings.size());
    for (size_t i = 0; i < crossings.size(); ++i) {
      results[i].zero_crossings = static_cast<uint8_t>(crossings[i]);
      results[i].level_db = level;
    }
    return results;
  };
  // 100 100 100 100 | 0 0 0 | 100 100 100 | 0: two runs 30 ms apart are merged into one segment.
  const std::vector<int> z = {0, 120, 120, 120, 120, 0, 0, 0, 120, 120, 120, 120, 0, 0};
  const std::vector<CValueSegment> merged = BuildNoiseSegments(steps(z, 60.0f));
  ASSERT_EQ(merged.size(), 1u);
  EXPECT_EQ(merged[0].GetStart(), 10);
  EXPECT_EQ(merged[0].GetEnd(), 120);
  EXPECT_EQ(merged[0].MaxValue(), 120);
  EXPECT_EQ(merged[0].MaxTime(), 20);

  // The same steps at 50 dB are not loud enough.
  EXPECT_TRUE(BuildNoiseSegments(steps(z, 50.0f)).empty());
  // Smoothed 0 25 75 75 25 0 ...: a run of two steps (20 ms) is too short; one still open at the end
  // is dropped.
  EXPECT_TRUE(BuildNoiseSegments(steps({0, 0, 100, 100, 0, 0, 0, 0, 200, 200, 200}, 60.0f)).empty());
  // Smoothed 33 75 100 75 25: three steps (30 ms) are enough.
  EXPECT_EQ(BuildNoiseSegments(steps({0, 100, 100, 100, 0, 0}, 60.0f)).size(), 1u);
}

}  // namespace
}  // namespace melvox

#include "analysis/pitch_smoothing.h"

#include <vector>

#include <gtest/gtest.h>

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

TEST(PitchSmoothing, IsolatedStepsGoAndShortGapsAreFilledLinearly) {
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
}

TEST(PitchSmoothing, OctaveJumpsTakeTheCandidateNearTheRunningAverage) {
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

}  // namespace
}  // namespace melvox

#include "alignment/aligned_comparison.h"

#include <algorithm>
#include <cmath>

#include "alignment/step_alignment.h"
#include "alignment/step_profile.h"

namespace melvox {
namespace {

// The stretches of the reference's steps 0 .. steps-1 as [begin, end) step ranges.
std::vector<std::pair<int32_t, int32_t>> StretchRanges(int32_t steps) {
  std::vector<std::pair<int32_t, int32_t>> ranges;
  for (int32_t begin = 0; begin < steps; begin += kStretchSteps) {
    ranges.emplace_back(begin, std::min(steps, begin + kStretchSteps));
  }
  if (ranges.size() >= 2 && ranges.back().second - ranges.back().first < kStretchSteps / 2) {
    ranges[ranges.size() - 2].second = ranges.back().second;
    ranges.pop_back();
  }
  return ranges;
}

}  // namespace

float AlignedScore(float distance, const AlignmentSettings& settings) {
  return 100.0f / (1.0f + std::exp((distance - settings.distance_at_50) / settings.distance_slope));
}

AlignedComparison CompareAligned(const CSoundAnalysis& reference, const CSoundAnalysis& recording,
                                 const AlignmentSettings& settings) {
  AlignedComparison comparison;
  const size_t steps_a = reference.Results().size();
  const size_t steps_b = recording.Results().size();
  if (steps_a == 0 || steps_b == 0 || steps_a > kMaxAlignedSteps || steps_b > kMaxAlignedSteps) return comparison;
  const StepProfile a = MakeStepProfile(reference);
  const StepProfile b = MakeStepProfile(recording);
  const FeaturePair features = MakeFeaturePair(a, b, settings);
  const StepAlignment alignment = AlignSteps(features.a, features.b, settings);
  if (!alignment.found) return comparison;

  comparison.compared = true;
  comparison.distance = alignment.mean_distance;
  comparison.score = AlignedScore(alignment.mean_distance, settings);
  comparison.path.reserve(alignment.path.size());
  for (const AlignedStep& step : alignment.path) {
    comparison.path.push_back({a.first_ms + 10 * step.a, b.first_ms + 10 * step.b});
  }
  // The path's cells by reference stretch: cells come in order of the reference's steps.
  size_t cell = 0;
  for (const auto& [begin, end] : StretchRanges(static_cast<int32_t>(steps_a))) {
    AlignedStretch stretch;
    stretch.reference_begin_ms = a.first_ms + 10 * begin;
    stretch.reference_end_ms = a.first_ms + 10 * end;
    float sum = 0.0f;
    int32_t cells = 0;
    int32_t first_b = -1;
    int32_t last_b = -1;
    for (; cell < alignment.path.size() && alignment.path[cell].a < end; ++cell) {
      sum += alignment.path[cell].distance;
      ++cells;
      if (first_b < 0) first_b = alignment.path[cell].b;
      last_b = alignment.path[cell].b;
    }
    stretch.recording_begin_ms = b.first_ms + 10 * first_b;
    stretch.recording_end_ms = b.first_ms + 10 * (last_b + 1);
    stretch.distance = cells > 0 ? sum / static_cast<float>(cells) : 0.0f;
    stretch.score = AlignedScore(stretch.distance, settings);
    comparison.stretches.push_back(stretch);
  }
  return comparison;
}

}  // namespace melvox

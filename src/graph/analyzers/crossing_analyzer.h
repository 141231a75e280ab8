// CCrossingAnalyzer: the crossing graph's values, the zero-crossing counts of the loud, noisy steps of
// a sound (its fricatives).
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/frame_result.h"
#include "graph/analyzers/value_analyzer.h"

namespace melvox {

// One value per 10 ms step of the attached CSoundAnalysis: the step's zero-crossing count when the step
// is loud and noisy, else 0, so values lie in {0} and 50 .. 255. Voiced and quiet stretches stay at 0.
// The columns are rendered on a fixed scale: a mean of 160 crossings per step maps to the full scale,
// whatever the sound. Frame count, data, Clear and Compute are the base's (the analysis's steps).
//
// Threading: built, used and destroyed on one thread, by the view that is given a sound; the analysis
// must outlive it; no process-wide state.
class CCrossingAnalyzer : public CValueAnalyzer {
 public:
  static constexpr float kLevelThresholdDb = 50.0f;
  static constexpr int32_t kCrossingThreshold = 50;
  static constexpr int32_t kFixedReference = 160;

  // The value of one step: its zero-crossing count (0 .. 255) when its level is at least 50.0 dB (a
  // level that is not a number counts as quiet) and the count is at least 50; else 0.
  static int32_t StepValue(const FrameResult& result);

  // RenderColumnsWith against the fixed reference 160 instead of ReferenceRecord.
  bool RenderColumns(std::vector<int32_t>& out, int32_t width, int32_t scale) override;
  // StepValue of the step; 0 without data or for a step outside the analysis.
  int32_t RecordAt(int32_t frame, int32_t row) const override;
};

}  // namespace melvox

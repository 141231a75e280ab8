// CPitchAnalyzer: the pitch graph's values, the pitch of every step above a floor of 60 Hz.
#pragma once

#include <cstdint>

#include "analysis/frame_result.h"
#include "graph/analyzers/value_analyzer.h"

namespace melvox {

// One value per 10 ms step of the attached CSoundAnalysis (whose contour is already smoothed): the
// step's pitch in Hz minus 60, or 0 for unvoiced steps and pitches of 60 Hz or less; values lie in
// 0 .. 65475. Rendered against the base's reference, the sound's own largest value, so the highest pitch
// of the sound reaches the top of the curve; an unvoiced sound has reference 0 and renders zeros. Frame
// count, data, Clear and Compute are the base's (the analysis's steps).
//
// Threading: built, used and destroyed on one thread, by the view that is given a sound; the analysis
// must outlive it; no process-wide state.
class CPitchAnalyzer : public CValueAnalyzer {
 public:
  static constexpr int32_t kPitchFloorHz = 60;

  // The value of one step: its pitch, read as an unsigned 16-bit number, minus 60 when above 60; else 0.
  static int32_t StepValue(const FrameResult& result);

  // StepValue of the step; 0 without data or for a step outside the analysis.
  int32_t RecordAt(int32_t frame, int32_t row) const override;
};

}  // namespace melvox

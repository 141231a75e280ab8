// The aligned comparison: how closely a recording follows a reference, step by step, after aligning
// the two in time; with the alignment and a score per stretch of the reference to show where.
#pragma once

#include <cstdint>
#include <vector>

#include "alignment/alignment_features.h"
#include "analysis/sound_analysis.h"

namespace melvox {

// Sounds with more steps than this (20 s) are not aligned.
constexpr int32_t kMaxAlignedSteps = 2000;
// The reference is scored in stretches of this many 10 ms steps (a shorter last stretch joins the one
// before it when it is under half as long).
constexpr int32_t kStretchSteps = 20;

// A stretch of the reference and the part of the recording aligned with it. Times in ms from the
// start of each sound's wave.
struct AlignedStretch {
  int32_t reference_begin_ms = 0;
  int32_t reference_end_ms = 0;  // exclusive
  int32_t recording_begin_ms = 0;
  int32_t recording_end_ms = 0;  // exclusive
  float distance = 0.0f;         // mean local distance of the path's cells in the stretch
  float score = 0.0f;            // AlignedScore of that distance, 0 .. 100
};

// A point of the alignment path: a 10 ms step of the reference and the step of the recording aligned
// with it, both as the time of the step's start in ms from the start of each wave. Several points may
// share a reference time (the recording is slower there) or a recording time.
struct AlignedPoint {
  int32_t reference_ms = 0;
  int32_t recording_ms = 0;
};

struct AlignedComparison {
  bool compared = false;  // false when a sound has no steps, has more than kMaxAlignedSteps, or one is
                          // over twice as long as the other even without the loose ends AlignSteps may
                          // leave out: the score is then 0 and nothing else is set
  float distance = 0.0f;  // mean local distance along the path (StepAlignment::mean_distance)
  float score = 0.0f;     // AlignedScore(distance), 0 .. 100
  std::vector<AlignedPoint> path;
  std::vector<AlignedStretch> stretches;  // in order, covering the whole analysed reference
};

// 100 / (1 + exp((distance - distance_at_50) / distance_slope)), in single precision: falls
// monotonically from near 100 for a distance of 0 to near 0 for large distances.
float AlignedScore(float distance, const AlignmentSettings& settings);

// Aligns the analysed part of `recording` with that of `reference` (MakeStepProfile, MakeFeaturePair,
// AlignSteps) and scores the alignment as a whole and per stretch. Runs on the caller's thread and
// only reads the analyses; comparisons may run on several threads at once.
AlignedComparison CompareAligned(const CSoundAnalysis& reference, const CSoundAnalysis& recording,
                                 const AlignmentSettings& settings = AlignmentSettings());

}  // namespace melvox

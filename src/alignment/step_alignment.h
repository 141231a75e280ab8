// Dynamic time warping of two step sequences with a limited slope.
#pragma once

#include <cstdint>
#include <vector>

#include "alignment/alignment_features.h"

namespace melvox {

// One cell of an alignment path: step `a` of the first sound goes with step `b` of the second, at
// the local distance `distance`: their StepDistance less the mean of the two steps' nearest distances
// (the least StepDistance of each to any step of the other sound), so 0 or more.
struct AlignedStep {
  int32_t a = 0;
  int32_t b = 0;
  float distance = 0.0f;
};

struct StepAlignment {
  bool found = false;  // false when no path fits the slope limit (one sound over twice as long) or a
                       // sound has no steps
  // Both indices never decrease and grow by at most 1 from cell to cell, so every step of both sounds
  // between the path's first and last cell appears. The path starts at step 0 of one sound and ends
  // at the last step of one sound; the other may leave some steps unmatched at that end (see
  // AlignSteps).
  std::vector<AlignedStep> path;
  // The path's weighted sum of the local distances (the first cell and diagonal moves count twice,
  // the two cells of a sideways move once each) plus the unmatched cost of every step left out at
  // the ends (AlignmentFeatures::unmatched), divided by the sum of both lengths: a mean over all
  // steps of both sounds.
  float mean_distance = 0.0f;
};

// Aligns a's steps with b's by dynamic programming with the symmetric moves (1,1), (1,2) and (2,1):
// the path may run at most twice as fast or half as fast through one sound as through the other, so
// it stays inside a parallelogram; only the cells inside it are computed. The ends lie at the
// ends of both sounds, except that a path may start after, or end before, up to
// settings.loose_share of a sound's steps (at most settings.loose_steps) at each end, each such step
// counting its unmatched cost. Time grows with the product of the lengths (the nearest distances need
// every pair of steps), memory with about a third of it (more with loose ends).
StepAlignment AlignSteps(const AlignmentFeatures& a, const AlignmentFeatures& b, const AlignmentSettings& settings);

}  // namespace melvox

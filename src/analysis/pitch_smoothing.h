// The smoothing of a sound's pitch contour after every step has been analysed.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/frame_result.h"

namespace melvox {

// Smooths the pitch of a sound's results in place, in three passes. A result is voiced when its pitch
// is not 0; its lag is the lag of its first candidate.
//  1. The mean lag of the voiced results gives the accepted range: mean / 2.1 .. mean x 2.1, within
//     min_lag .. max_lag.
//  2. Each voiced lag must lie in that range and near a running average of its neighbours (within
//     10 % of the average per step of distance); otherwise the candidate closest to the average
//     replaces it, or the result becomes unvoiced.
//  3. A voiced result with no voiced one among the next three becomes unvoiced; gaps of one or two
//     unvoiced results inside a voiced run are filled with linear steps of pitch (candidates stay).
// Lags and pitches use integer arithmetic throughout (pitch = sample_rate / lag).
void SmoothPitchContour(std::vector<FrameResult>& results, uint32_t sample_rate, int32_t min_lag, int32_t max_lag);

}  // namespace melvox

// Peak tracking: chaining the peaks of consecutive steps into tracks, and the whole pipeline from an
// analysis's results to its CPeakTracks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/frame_result.h"
#include "spectral/peak_tracks.h"
#include "spectral/spectral_peak.h"

namespace melvox {

// The peak of `list` nearest in bin to `reference` within the tolerance min(3 x step distance, 3)
// bins, the first in list order among equally near ones; none for an empty list or none that near.
std::optional<SpectralPeak> BestMatch(const SpectralPeak& reference, const PeakList& list);

// Chains the peaks of the steps' lists into tracks and consumes them (every peak joins at most one
// track). A track starts at the lowest-bin peak of the first step that has peaks and is not noise,
// and grows one or two steps at a time by the cheapest match (cost 3 x bin distance + 2 x step
// distance), with energy jumps of 1.6 times or more refused and jumps from 1.22 times kept as
// fallbacks; a step that is skipped is filled by interpolation. Tracks of fewer than 5 peaks are
// dropped.
std::unique_ptr<CPeakTracks> LinkTracks(std::vector<PeakList>& frames);

// The peak tracks of a sound's results: PickPeaks on every step, MarkNoiseFrames, PruneIsolatedPeaks
// and LinkTracks. Null for an empty vector.
std::unique_ptr<CPeakTracks> TrackPeaks(const std::vector<FrameResult>& results);

}  // namespace melvox

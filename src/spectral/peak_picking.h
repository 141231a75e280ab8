// The first stages of peak tracking: picking the peaks of every step's log spectrum, marking steps
// whose energy lies mainly high up as noise, and removing peaks that no nearby step shares.
#pragma once

#include <cstdint>
#include <vector>

#include "spectral/spectral_peak.h"

namespace melvox {

// Appends up to 5 peaks of frame `frame`'s log spectrum to list, strongest first: the highest bin
// above 5.0 (the lowest of equal ones), then, with that peak's skirt cleared down to the next valley
// on both sides, the next highest, and so on. A peak's energy is its value twice plus its two
// neighbours' (bin -1 reads bin 1; a bin past the end counts nothing). An empty spectrum gives none.
void PickPeaks(int32_t frame, const std::vector<float>& log_spectrum, PeakList& list);

// Flags a step as noise when the energy of its peaks at bins 46 and up exceeds 2.6 times that of its
// peaks at bins 1 to 16; a flag with no flagged neighbour is then cleared again (runs of two or more
// keep theirs).
void MarkNoiseFrames(std::vector<PeakList>& frames);

// Removes, step by step in increasing order, every peak of a step that is not noise when none of the
// non-noise steps up to two away holds a peak within 3 bins of it. Steps already pruned count as
// pruned.
void PruneIsolatedPeaks(std::vector<PeakList>& frames);

}  // namespace melvox

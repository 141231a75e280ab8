// How alike two sets of spectral peaks are: every peak of the second set is paired with at most one
// peak of the first, near in bin and alike in energy, and what stays unpaired is charged by its energy.
#pragma once

#include <vector>

#include "spectral/spectral_peak.h"

namespace melvox {

// The similarity of peak sets a and b, 0 (nothing alike) to 1 (the same); only bins and energies
// count. Two peaks may pair when they lie at most 12 bins apart and their distance, weighted up to
// 3 times in the low bins (1 from bin 24 on), is at most 12; a pair costs its weighted distance
// squared / 144 plus its energy difference / 10000. Each peak of b takes the cheapest peak of a that
// offers it; when several peaks of b take the same peak of a, the dearer one (on equal cost the
// earlier one) gives it up and takes the cheapest other peak of a that offers it, if any. The result is
// 1 minus the mean charge over the peaks of b and the peaks of a left unpaired: a pair is charged
// 1.2 x its cost plus 0.33 per 5.5 of energy difference beyond the first 5.5, an unpaired peak
// UnpairedCost; every charge is at most 1. Not symmetric. Two empty sets give 1, one empty set 0.
float ComparePeakSets(const std::vector<SpectralPeak>& a, const std::vector<SpectralPeak>& b);

// The charge, 0 to 1, for a peak left without a partner: 0 at bin 0 or up to energy 20, rising
// linearly to 0.43 at energy 35, then from 0.39 by 0.103 per unit of energy up to 1 (reached near 41).
float UnpairedCost(const SpectralPeak& peak);

}  // namespace melvox

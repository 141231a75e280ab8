// CNoteSegment: a note of a sound, a stretch of time with the spectral peaks that characterise it.
#pragma once

#include <vector>

#include "analysis/time_segment.h"
#include "spectral/spectral_peak.h"

namespace melvox {

// Start and end in ms on the 10 ms grid of the analysis (end exclusive), and the peak set of the
// note: bins and energies on the scale of the peak tracks. A note with no peaks is allowed; the
// comparison of note lists ignores it.
class CNoteSegment : public CTimeSegment {
 public:
  CNoteSegment() = default;
  CNoteSegment(int32_t start_ms, int32_t end_ms, std::vector<SpectralPeak> peaks);

  const std::vector<SpectralPeak>& Peaks() const { return peaks_; }

 private:
  std::vector<SpectralPeak> peaks_;
};

}  // namespace melvox

// CSoundAnalysis::GetTracks lives here, beside TrackPeaks, so that src/analysis never includes a
// header of src/spectral.
#include "analysis/sound_analysis.h"
#include "spectral/peak_linking.h"
#include "spectral/peak_tracks.h"

namespace melvox {

const CPeakTracks* CSoundAnalysis::GetTracks() const {
  // Only this function stores into tracks_, and always a CPeakTracks.
  if (!tracks_) tracks_ = TrackPeaks(results_);
  return static_cast<const CPeakTracks*>(tracks_.get());
}

}  // namespace melvox

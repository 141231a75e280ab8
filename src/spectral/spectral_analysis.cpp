#include "spectral/spectral_analysis.h"

#include "spectral/note_segmentation.h"
#include "spectral/peak_linking.h"

namespace melvox {

CSpectralAnalysis::~CSpectralAnalysis() = default;

const CPeakTracks* CSpectralAnalysis::PeakTracks() const {
  if (!peak_tracks_) peak_tracks_ = TrackPeaks(analysis_.Results());
  return peak_tracks_.get();
}

const std::vector<CNoteSegment>& CSpectralAnalysis::Notes() const {
  if (!notes_) notes_ = SegmentNotes(analysis_.Results());
  return *notes_;
}

}  // namespace melvox

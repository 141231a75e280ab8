// CPeakTracks: the spectral peak tracks of an analysed sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/time_segment.h"
#include "spectral/spectral_peak.h"

namespace melvox {

// All tracks of a sound, in the order in which they were finished. Start and end (ms) span the
// tracks: 10 x the first step of any track and 10 x (the last step of any track + 1); both -1 when
// there is no track. Immutable once made by TrackPeaks.
class CPeakTracks : public CTimeSegment {
 public:
  CPeakTracks() = default;
  explicit CPeakTracks(std::vector<PeakTrack> tracks);

  const std::vector<PeakTrack>& Tracks() const { return tracks_; }

  // The peaks that the tracks hold in step `frame`, bin 0 left out, sorted by bin (the order of
  // equal bins is not defined). Empty for a step outside every track. Read from an index built with
  // the tracks, so asking for every step of a long sound costs time in proportion to its points.
  std::vector<SpectralPeak> PointsAt(int32_t frame) const;

 private:
  std::vector<PeakTrack> tracks_;
  // The points of every step from the first step of any track on, step after step: those of step
  // first_frame_ + i lie from point_offsets_[i] up to point_offsets_[i + 1].
  int32_t first_frame_ = 0;
  std::vector<SpectralPeak> points_;
  std::vector<size_t> point_offsets_;
};

}  // namespace melvox

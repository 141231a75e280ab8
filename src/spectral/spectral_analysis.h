// CSpectralAnalysis: what the spectral layer derives from a sound analysis, its peak tracks and its note
// list, made on first request and kept.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "analysis/sound_analysis.h"
#include "spectral/note_segment.h"
#include "spectral/peak_tracks.h"

namespace melvox {

// Reads the results of a CSoundAnalysis, which must outlive it (a temporary analysis is refused at
// compile time). Each product is made from the results on its first request and kept, so that whoever
// is handed the same CSpectralAnalysis shares it: the tracks of a sound are tracked once however many
// readers ask.
//
// Threading: made and read on one thread, like the analysis it reads. Spectral analyses of any sounds
// may run on several threads at once: the products are this object's own.
class CSpectralAnalysis {
 public:
  explicit CSpectralAnalysis(const CSoundAnalysis& analysis) : analysis_(analysis) {}
  explicit CSpectralAnalysis(const CSoundAnalysis&& analysis) = delete;
  ~CSpectralAnalysis();
  CSpectralAnalysis(const CSpectralAnalysis&) = delete;
  CSpectralAnalysis& operator=(const CSpectralAnalysis&) = delete;

  const CSoundAnalysis& Analysis() const { return analysis_; }

  // The spectral peak tracks of the results (TrackPeaks), or null for an analysis without results.
  const CPeakTracks* PeakTracks() const;
  // The notes of the sound in time order: stretches of similar spectrum with the peak set that
  // characterises each, times in ms from the selection start; empty for an analysis without results.
  // Made by the note segmentation (SegmentNotes), which tracks the peaks afresh.
  const std::vector<CNoteSegment>& Notes() const;

 private:
  const CSoundAnalysis& analysis_;
  mutable std::unique_ptr<CPeakTracks> peak_tracks_;
  mutable std::optional<std::vector<CNoteSegment>> notes_;
};

}  // namespace melvox

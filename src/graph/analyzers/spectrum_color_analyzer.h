// CSpectrumColorAnalyzer: the spectrum graph's records, a colour and a level per 10 ms step from the
// spectral peak tracks of a sound; and the palette that colours the spectrum bins.
#pragma once

#include <cstdint>
#include <vector>

#include "graph/analyzers/color_analyzer.h"
#include "spectral/spectral_analysis.h"
#include "spectral/spectral_peak.h"

namespace melvox {

// One colour per spectrum bin, low bins blue, middle green, high red: with a = floor(bins x 0.6) and
// b = floor(a x 0.52) in single precision, a gradient from blue to green over entries 0 .. b - 2, one
// from green to red over b - 1 .. a - 1, and red from a on (60 bins: a = 36, b = 18; 37 bins: a = 22,
// b = 11). A gradient from c0 to c1 over n entries gives entry i (c0 x (n - i) + c1 x i) / n per
// channel, integer division: it starts at c0 and stops one step short of c1. Every level is
// 2147483647. Empty for bins <= 0; for fewer than 4 bins (no analysis gives so few) the entries that
// no gradient reaches stay red.
std::vector<ColorRecord> BuildSpectrumPalette(int32_t bins);

// The record of a step whose track peaks are `peaks`: total = the single-precision sum of their
// energies, in order; the empty record when total is exactly 0. Otherwise level = floor(total + 0.5)
// and each peak adds trunc(channel x (energy / total)) of its bin's palette colour to every channel
// (a bin outside the palette adds no colour).
ColorRecord ColorOfPeaks(const std::vector<SpectralPeak>& peaks, const std::vector<ColorRecord>& palette);

// A frame is one 10 ms step (FrameResult) of the sound analysis under the attached CSpectralAnalysis,
// counted from 0; there is one row. Compute colours the steps that the peak tracks span (firstFrame ..
// lastFrame) with ColorOfPeaks of the tracks' points; the steps outside that span, and every step of a
// sound without tracks (PeakTracks null), read as kEmptyColorRecord. FrameCount and HasData still count
// the analysis's steps, so such a sound has data that is all empty records.
//
// Threading: built, used and destroyed on one thread, by the view that is given a sound. It reads the
// analysis and its tracks, which must outlive it, keeps its own palette and records, and holds no
// process-wide state.
class CSpectrumColorAnalyzer : public CColorAnalyzer {
 public:
  CSpectrumColorAnalyzer() = default;
  ~CSpectrumColorAnalyzer() override;

  int32_t RowCount() const override;     // 1
  uint32_t FrameCount() const override;  // the analysis's steps; 0 without analysis
  bool HasData() const override;
  // Detaches the analysis, drops the peak cache and frees the records; the palette stays.
  void Clear() override;
  ColorRecord RecordAt(int32_t frame, int32_t row) const override;
  // Attaches `spectral` (not owned; null detaches as Clear does), drops the peak cache, builds the
  // palette again when the bin count (the length of the first non-empty log spectrum) changed, and
  // colours the tracked steps.
  virtual void Compute(const CSpectralAnalysis* spectral);

  const std::vector<ColorRecord>& Palette() const { return palette_; }

 private:
  const CSpectralAnalysis* spectral_ = nullptr;
  std::vector<ColorRecord> palette_;
  std::vector<ColorRecord> records_;  // frames first_frame_ .. last_frame_
  int32_t first_frame_ = 0;
  int32_t last_frame_ = -1;
};

}  // namespace melvox

// CSpectrumView: where in the spectrum a sound's tonal peaks lie, as one coloured bar per pixel column
// (blue low, green middle, red high; the height tells their strength); a click plays a resynthesis of
// the spectral peak tracks.
#pragma once

#include <vector>

#include "graph/analyzers/color_record.h"
#include "graph/filled_curve_view.h"

namespace melvox {

// The columns are CSpectrumColorAnalyzer's records rendered for the width with a largest bar of
// height - 2 pixels, smoothed over ceil(width / frames) columns when there are more columns than
// frames. The analysis node plays ResynthesizeTracks of the sound, with the sound's selection carried
// over to it. The base class's integer values are not used. Threading as CGraphView.
class CSpectrumView : public CFilledCurveView {
 public:
  using CFilledCurveView::CFilledCurveView;

  bool SetSound(CSoundNode* sound, int32_t option) override;
  // The grey frame, then column i as a bar of its colour from height - 2 - level up to height - 2
  // (exclusive), one brush per run of equal colours.
  bool Draw() override;

  const std::vector<ColorRecord>& Columns() const { return columns_; }

 private:
  std::vector<ColorRecord> columns_;
};

// The colour a record draws with: the high byte of each 16-bit channel.
platform::COLORREF ColorOf(const ColorRecord& record);

}  // namespace melvox

// CCrossingView: how noisy the loud parts of a sound are (its fricatives), as a filled curve; a click
// plays only those parts, amplified.
#pragma once

#include "graph/filled_curve_view.h"

namespace melvox {

// Each column shows the mean zero-crossing count of the 10 ms steps under it, counted only where a
// step is loud (50 dB or more) and noisy (50 crossings or more), on the fixed scale of 160 crossings
// to 0.9 of the height (CCrossingAnalyzer). The analysis node plays MakeFricativeSound of the sound.
// Threading as CGraphView.
class CCrossingView : public CFilledCurveView {
 public:
  using CFilledCurveView::CFilledCurveView;

  bool SetSound(CSoundNode* sound, int32_t option) override;
};

}  // namespace melvox

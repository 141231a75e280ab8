// CPitchView: the intonation of a sound, as a filled curve of its pitch; a click plays a tone that
// follows the pitch contour.
#pragma once

#include "graph/filled_curve_view.h"

namespace melvox {

// Each column shows the mean pitch above 60 Hz of the 10 ms steps under it (CPitchAnalyzer), scaled
// so that the sound's highest value reaches 0.9 of the height. The analysis node plays MakePitchTone
// of the sound, with the sound's selection carried over to it. Threading as CGraphView.
class CPitchView : public CFilledCurveView {
 public:
  using CFilledCurveView::CFilledCurveView;

  bool SetSound(CSoundNode* sound, int32_t option) override;
};

}  // namespace melvox

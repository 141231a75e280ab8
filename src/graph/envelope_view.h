// CEnvelopeView: the loudness outline of a sound, one symmetric grey bar per pixel column; a click
// plays the sound itself.
#pragma once

#include "graph/graph_view.h"

namespace melvox {

// Each column shows the peak magnitude of the samples under it (CEnvelopeAnalyzer), scaled so that
// 0.67 of the sound's largest peak fills half the height; the bars are CGraphView's. The analysis
// node is a memory source over the sound's wave with its selection, so a click plays exactly the
// sound shown. Threading as CGraphView.
class CEnvelopeView : public CGraphView {
 public:
  using CGraphView::CGraphView;

  bool SetSound(CSoundNode* sound, int32_t option) override;
};

}  // namespace melvox

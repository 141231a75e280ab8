// CFilledCurveView: a graph view that draws its column values as a curve rising from the bottom, with
// the area under it filled light grey. The crossing, pitch and spectrum views derive from it.
#pragma once

#include "graph/analyzers/value_analyzer.h"
#include "graph/graph_view.h"

namespace melvox {

// A column value v puts the curve at y = height - v - 4, so a value of 0 lies 4 pixels above the lower
// edge. Threading as CGraphView.
class CFilledCurveView : public CGraphView {
 public:
  using CGraphView::CGraphView;

  // A grey frame on white, the curve in a 2-pixel grey pen from the lower left corner through every
  // column's point, and (when there are values) a light grey flood fill from (3, height - 3) up to the
  // grey of the curve and the frame.
  bool Draw() override;

 protected:
  // The grey frame on white that every filled-curve view draws first.
  void DrawFrame();
  // The columns of analyzer over analysis, the largest value at CurveScale of the height.
  void RenderCurve(CValueAnalyzer& analyzer, const CSoundAnalysis& analysis);
};

// The height that the largest value of a crossing or pitch curve reaches: trunc(0.9 x height), in
// double precision.
int32_t CurveScale(int32_t height);

}  // namespace melvox

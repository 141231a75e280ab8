#include "graph/filled_curve_view.h"

#include <cmath>

namespace melvox {

int32_t CurveScale(int32_t height) { return static_cast<int32_t>(std::trunc(0.9 * height)); }

void CFilledCurveView::DrawFrame() {
  platform::Canvas& dc = Memory();
  const platform::Pen previous = dc.SelectPen(platform::Pen{1, kGraphFrameColor});
  dc.Rectangle(0, 0, Width(), Height());
  dc.SelectPen(previous);
}

void CFilledCurveView::RenderCurve(CValueAnalyzer& analyzer, const CSoundAnalysis& analysis) {
  analyzer.Compute(&analysis);
  values_.clear();
  values_.shrink_to_fit();
  analyzer.RenderColumns(values_, Width(), CurveScale(Height()));
}

bool CFilledCurveView::Draw() {
  platform::Canvas& dc = Memory();
  const int32_t height = Height();
  DrawFrame();

  const platform::Pen previous = dc.SelectPen(platform::Pen{2, kGraphFrameColor});
  dc.MoveTo(0, height);
  for (size_t i = 0; i < values_.size(); ++i) dc.LineTo(static_cast<int32_t>(i), height - values_[i] - 4);
  dc.SelectPen(previous);

  if (!values_.empty()) {
    const platform::Brush brush = dc.SelectBrush(platform::Brush{kGraphFillColor});
    dc.FloodFill(3, height - 3, kGraphFrameColor);
    dc.SelectBrush(brush);
  }
  return true;
}

}  // namespace melvox

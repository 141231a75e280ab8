#include "graph/crossing_view.h"

#include "analysis/fricative_sound.h"
#include "analysis/sound_analysis.h"
#include "graph/analyzers/crossing_analyzer.h"

namespace melvox {

bool CCrossingView::SetSound(CSoundNode* sound, int32_t option) {
  CCrossingAnalyzer analyzer;
  BeginSetSound(sound);
  if (sound == nullptr) return CGraphView::SetSound(nullptr, option);

  const std::unique_ptr<CWave> wave = TakeWave(*sound, option);
  if (!wave) return false;
  const CSoundAnalysis analysis(wave.get(), 0);
  SetAnalysisNode(MakeFricativeSound(analysis, *wave));

  analyzer.Compute(&analysis);
  values_.clear();
  values_.shrink_to_fit();
  analyzer.RenderColumns(values_, Width(), CurveScale(Height()));
  return CGraphView::SetSound(sound, option);
}

}  // namespace melvox

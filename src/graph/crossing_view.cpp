#include "graph/crossing_view.h"

#include "analysis/fricative_sound.h"
#include "analysis/sound_analysis.h"
#include "graph/analyzers/crossing_analyzer.h"

namespace melvox {

bool CCrossingView::SetSound(CSoundNode* sound, int32_t option) {
  CCrossingAnalyzer analyzer;
  BeginSetSound(sound);
  if (sound == nullptr) return CGraphView::SetSound(nullptr, option);

  CSharedAnalysis local;
  const CSharedAnalysis::Entry* analysed = Analyse(*sound, option, local);
  if (analysed == nullptr) return false;
  const CWave& wave = *analysed->wave;
  const CSoundAnalysis& analysis = *analysed->analysis;
  SetAnalysisNode(MakeFricativeSound(analysis, wave));

  analyzer.Compute(&analysis);
  values_.clear();
  values_.shrink_to_fit();
  analyzer.RenderColumns(values_, Width(), CurveScale(Height()));
  return CGraphView::SetSound(sound, option);
}

}  // namespace melvox

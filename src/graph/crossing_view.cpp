#include "graph/crossing_view.h"

#include "analysis/fricative_sound.h"
#include "graph/analyzers/crossing_analyzer.h"

namespace melvox {

bool CCrossingView::SetSound(CSoundNode* sound, int32_t option) {
  return SetAnalysedSound(sound, option, [this](const CWave& wave, const CSoundAnalysis& analysis) {
    SetAnalysisNode(MakeFricativeSound(analysis, wave));
    CCrossingAnalyzer analyzer;
    RenderCurve(analyzer, analysis);
  });
}

}  // namespace melvox

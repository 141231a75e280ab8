#include "graph/crossing_view.h"

#include "analysis/fricative_sound.h"
#include "graph/analyzers/crossing_analyzer.h"

namespace melvox {

bool CCrossingView::SetSound(CSoundNode* sound, int32_t option) {
  return SetAnalysedSound(sound, option, [this](const CSharedAnalysis::Entry& analysed) {
    SetAnalysisNode(MakeFricativeSound(*analysed.analysis, *analysed.wave));
    CCrossingAnalyzer analyzer;
    RenderCurve(analyzer, *analysed.analysis);
  });
}

}  // namespace melvox

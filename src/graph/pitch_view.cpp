#include "graph/pitch_view.h"

#include "analysis/pitch_tone.h"
#include "graph/analyzers/pitch_analyzer.h"

namespace melvox {

bool CPitchView::SetSound(CSoundNode* sound, int32_t option) {
  return SetAnalysedSound(sound, option, [this](const CSharedAnalysis::Entry& analysed) {
    if (std::unique_ptr<CWave> tone = MakePitchTone(*analysed.analysis)) {
      CarrySelection(*analysed.wave, *tone);
      SetAnalysisNode(std::move(tone));
    }
    CPitchAnalyzer analyzer;
    RenderCurve(analyzer, *analysed.analysis);
  });
}

}  // namespace melvox

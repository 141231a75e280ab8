#include "graph/pitch_view.h"

#include "analysis/pitch_tone.h"
#include "analysis/sound_analysis.h"
#include "graph/analyzers/pitch_analyzer.h"

namespace melvox {

bool CPitchView::SetSound(CSoundNode* sound, int32_t option) {
  CPitchAnalyzer analyzer;
  BeginSetSound(sound);
  if (sound == nullptr) return CGraphView::SetSound(nullptr, option);

  CSharedAnalysis local;
  const CSharedAnalysis::Entry* analysed = Analyse(*sound, option, local);
  if (analysed == nullptr) return false;
  const CWave& wave = *analysed->wave;
  const CSoundAnalysis& analysis = *analysed->analysis;
  if (std::unique_ptr<CWave> tone = MakePitchTone(analysis)) {
    CarrySelection(wave, *tone);
    SetAnalysisNode(std::move(tone));
  }

  analyzer.Compute(&analysis);
  values_.clear();
  values_.shrink_to_fit();
  analyzer.RenderColumns(values_, Width(), CurveScale(Height()));
  return CGraphView::SetSound(sound, option);
}

}  // namespace melvox

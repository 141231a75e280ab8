#include "graph/envelope_view.h"

#include "analysis/endpoint_detector.h"
#include "graph/analyzers/envelope_analyzer.h"

namespace melvox {

bool CEnvelopeView::SetSound(CSoundNode* sound, int32_t option) {
  CEnvelopeAnalyzer analyzer;
  BeginSetSound(sound);
  if (sound == nullptr) return CGraphView::SetSound(nullptr, option);

  sound->Rewind();
  std::unique_ptr<CWave> wave = sound->GetWave();
  if (!wave) return false;
  // The analyzer reads 8-bit samples in signed form; the kind marks them so, and the memory source
  // plays them back as unsigned PCM.
  if (wave->Format().wBitsPerSample == 8 && wave->Kind() != SampleKind::kSigned) {
    for (uint32_t i = 0; i < wave->Size(); ++i) wave->Data()[i] = static_cast<uint8_t>(wave->Data()[i] + 128);
    wave->SetKind(SampleKind::kSigned);
  }
  if (option != 0) DetectEndpoints(*wave);
  CWave& shown = *wave;
  SetAnalysisNode(std::move(wave));

  analyzer.Compute(shown);
  const int32_t scale = Height() / 2;
  values_.clear();
  values_.shrink_to_fit();
  analyzer.RenderColumns(values_, Width(), scale);
  return CGraphView::SetSound(sound, option);
}

}  // namespace melvox

#include "graph/shared_analysis.h"

#include "analysis/endpoint_detector.h"

namespace melvox {

const CSharedAnalysis::Entry* CSharedAnalysis::Of(CSoundNode& sound, int32_t option) {
  if (sound_ == &sound && option_ == option && entry_.analysis) return &entry_;
  entry_ = Entry{};
  sound_ = nullptr;
  sound.Rewind();
  std::unique_ptr<CWave> wave = sound.GetWave();
  if (!wave) return nullptr;
  if (option != 0) DetectEndpoints(*wave);
  auto analysis = std::make_unique<CSoundAnalysis>(wave.get(), 0);
  auto spectral = std::make_unique<CSpectralAnalysis>(*analysis);
  entry_ = Entry{std::move(wave), std::move(analysis), std::move(spectral)};
  sound_ = &sound;
  option_ = option;
  return &entry_;
}

}  // namespace melvox

#include "analysis/pitch_tone.h"

#include <vector>

#include "analysis/tone_synthesizer.h"

namespace melvox {

std::unique_ptr<CWave> MakePitchTone(const CSoundAnalysis& analysis) {
  const std::vector<int16_t> contour = analysis.GetPitchContour(0, static_cast<int32_t>(analysis.Length()) - 1);
  std::vector<ToneStep> steps;
  steps.reserve(contour.size());
  for (const int16_t pitch : contour) {
    const bool voiced = pitch > 0;
    steps.push_back({static_cast<uint16_t>(voiced ? pitch : 0), voiced ? kPitchToneAmplitude : 0});
  }
  return SynthesizeTone(steps);
}

}  // namespace melvox

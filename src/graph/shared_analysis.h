// CSharedAnalysis: the decoded wave of a sound, its analysis and its spectral analysis, made once for
// the views that are handed the same sound together.
#pragma once

#include <cstdint>
#include <memory>

#include "analysis/sound_analysis.h"
#include "sound/sound_node.h"
#include "sound/wave.h"
#include "spectral/spectral_analysis.h"

namespace melvox {

// The crossing, pitch and spectrum views each need the sound decoded (its start and end detected when
// the option asks for it) and analysed on the 10 ms grid; for the same sound and option the results
// are the same, so a manager handing a sound to its windows lets them share one. A view given none
// makes its own.
//
// Threading: used by one thread (the window thread) for one hand-out; the products of the analysis and
// of the spectral analysis (the peak tracks among them) are made on first request and shared too.
class CSharedAnalysis {
 public:
  struct Entry {
    std::unique_ptr<CWave> wave;
    std::unique_ptr<CSoundAnalysis> analysis;
    std::unique_ptr<CSpectralAnalysis> spectral;  // over analysis
  };

  // The entry for sound with option: made on the first request (Rewind, GetWave, DetectEndpoints
  // when option is non-zero, CSoundAnalysis with reference pitch 0, a CSpectralAnalysis over it) and
  // kept for the same sound and
  // option; null when the sound gives no wave. Throws what the analysis throws (and keeps nothing).
  const Entry* Of(CSoundNode& sound, int32_t option);

 private:
  CSoundNode* sound_ = nullptr;
  int32_t option_ = 0;
  Entry entry_;
};

}  // namespace melvox

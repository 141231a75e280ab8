// The sounds the graphs play instead of the recording, made from an analysed sound.
#pragma once

#include <memory>

#include "melvox/analysis.h"
#include "sound/wave.h"
#include "spectral/spectral_analysis.h"

namespace melvox {

// The sound of `kind` made from the analysis of `wave` (the spectral analysis and the analysis under
// it): MakePitchTone, MakeFricativeSound or ResynthesizeTracks. Throws CMsgException with a sentence
// of its own when there is none (no peak tracks, a sound too short to analyse).
std::unique_ptr<CWave> MakeGraphSound(GraphSoundKind kind, const CSpectralAnalysis& spectral, const CWave& wave);

}  // namespace melvox

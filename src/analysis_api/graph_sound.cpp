#include "analysis_api/graph_sound.h"

#include "analysis/fricative_sound.h"
#include "analysis/pitch_tone.h"
#include "melvox/errors.h"
#include "spectral/track_resynthesis.h"

namespace melvox {

std::unique_ptr<CWave> MakeGraphSound(GraphSoundKind kind, const CSpectralAnalysis& spectral, const CWave& wave) {
  const CSoundAnalysis& analysis = spectral.Analysis();
  std::unique_ptr<CWave> sound;
  const char* missing = "The sound has no such graph sound.";
  switch (kind) {
    case GraphSoundKind::kTone:
      sound = MakePitchTone(analysis);
      missing = "The pitch tone is too long to make.";
      break;
    case GraphSoundKind::kFricative:
      sound = MakeFricativeSound(analysis, wave);
      missing = "The sound is too short to analyse: it has no fricative sound.";
      break;
    case GraphSoundKind::kResynthesis:
      sound = ResynthesizeTracks(spectral);
      missing = "The sound has no spectral peak tracks to resynthesize.";
      break;
  }
  if (!sound) throw CMsgException(missing);
  return sound;
}

}  // namespace melvox

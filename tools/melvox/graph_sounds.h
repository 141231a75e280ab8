// The sounds made from a sound file that `melvox render`, `melvox stretch` and the demo write: what the
// pitch, crossing and spectrum graphs play instead of the recording, and the slowed version.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sound/wave.h"
#include "spectral/spectral_analysis.h"

namespace melvox::cli {

enum class GraphSound {
  kTone,         // the pitch graph's triangle tone along the pitch contour
  kFricative,    // the crossing graph's loud, noisy parts, amplified
  kResynthesis,  // the spectrum graph's tones of the spectral peak tracks
};

// "tone", "fricative" or "resynthesis"; UsageError for anything else.
GraphSound ParseGraphSound(const std::string& name);

// The sound of `kind` made from the analysis of `wave` (the spectral analysis and the analysis under
// it). Throws CMsgException with our own text when there is none (no peak tracks, a sound too short
// to analyse).
std::unique_ptr<CWave> MakeGraphSound(GraphSound kind, const CSpectralAnalysis& spectral, const CWave& wave);

struct SlowedLengths {
  uint32_t rate = 0;         // samples per second, of both
  int64_t input_frames = 0;  // as the player sees the file
  int64_t output_frames = 0;
};

// Opens in_path as the player does, makes its slowed version at `level` (-200..-1) and writes it to
// out_path as a PCM WAV file. CMVException for files that cannot be read or written; CMsgException
// when the sound has no slowed version (a rate the analysis does not take).
SlowedLengths WriteSlowedCopy(const std::string& in_path, const std::string& out_path, int32_t level);

}  // namespace melvox::cli

// MakeFricativeSound: the sound that the crossing view plays instead of the recording, only the loud,
// noisy (hissing) parts of the sound, amplified.
#pragma once

#include <memory>

#include "analysis/sound_analysis.h"
#include "sound/wave.h"

namespace melvox {

// A copy of `wave` (the wave `analysis` was made of) in which only the fricative 10 ms steps remain:
// steps whose result has a level of 50 dB or more and 50 or more zero crossings, amplified 2.5 times and
// clipped to the sample range (never wrapped). Each run of such steps fades in over its first R - 1
// samples and out over the first R - 1 samples of the step after it, R being the samples of 1 ms
// (44 at 44100 Hz). Everything else from the selection start to the end of the last analysed step is
// silent, and so is everything outside the selection; samples after the last step of the results are
// kept as they are. Steps lie on the analysis's grid: step i starts rate / 100 x i samples after the
// selection start.
//
// The copy has the wave's format, length and selection (the end lowered to the last sample). 8-bit
// samples come out signed with SampleKind::kSigned, as the analysis reads them; a multi-channel wave gives
// the mono mean of its channels, the sound the analysis measured. Returns null when the analysis has no
// results or the copy cannot be allocated.
std::unique_ptr<CWave> MakeFricativeSound(const CSoundAnalysis& analysis, const CWave& wave);

}  // namespace melvox

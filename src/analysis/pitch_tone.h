// MakePitchTone: the tone that the pitch view plays instead of the sound, following its pitch contour.
#pragma once

#include <cstdint>
#include <memory>

#include "analysis/sound_analysis.h"
#include "sound/wave.h"

namespace melvox {

// The amplitude of the pitch tone: 0.85 of full scale, trunc(0.85 x 32767).
constexpr int32_t kPitchToneAmplitude = 27851;

// A triangle tone (SynthesizeTone: 44100 Hz, 16-bit mono, 441 samples per 10 ms step) over the pitch
// contour of the whole analysed wave, sample 0 to its last sample: one step per 10 ms of the wave, at
// the step's pitch and kPitchToneAmplitude where it is voiced, silent where it is unvoiced and before or
// after the analysed selection. Null only when the synthesizer gives no wave (a failed allocation).
std::unique_ptr<CWave> MakePitchTone(const CSoundAnalysis& analysis);

}  // namespace melvox

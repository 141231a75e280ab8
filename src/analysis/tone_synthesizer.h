// SynthesizeTone: a triangle tone that follows a sequence of 10 ms steps, each with a pitch and an
// amplitude. The pitch view plays it instead of the sound, and the resynthesis of peak tracks builds its
// tones with it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/wave.h"

namespace melvox {

// One 10 ms step of a tone.
struct ToneStep {
  uint16_t pitch;     // Hz; 0 = silence
  int32_t amplitude;  // peak value in 16-bit sample units, 0..32767; 0 (or less) = silence
};

// The tone's sound: 44100 Hz, 16-bit signed, mono.
constexpr uint32_t kToneRate = 44100;
// Samples per step of the tone (10 ms at 44100 Hz).
constexpr uint32_t kToneSamplesPerStep = 441;

// Returns a new wave of steps.size() x 441 samples (selection: the whole wave, kind signed) holding a
// triangle wave that runs one full period, -A to +A and back, every 44100 / pitch samples (integer
// division); its phase carries on from step to step. A silent step is 441 zero samples. The first 220
// samples of a step glide the amplitude linearly from the previous step's to its own (a tone's first
// step thus fades in from 0); in the last step of a tone (the final step, or one followed by a silent
// step) the amplitude falls to 0 over its last 221 samples. A pitch above 22050 Hz, which 44100 Hz
// samples cannot carry, gets a period of two samples; these meet the triangle at its zero crossings, so
// such a step is silent. Amplitudes above 32767 count as 32767.
// Returns null when steps is empty or the sample block cannot be allocated.
//
// Threading: any thread; the oscillator belongs to the call, so the result depends on steps alone and
// tones may be made on several threads at once.
std::unique_ptr<CWave> SynthesizeTone(const std::vector<ToneStep>& steps);

}  // namespace melvox

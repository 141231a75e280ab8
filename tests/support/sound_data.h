// Reading sounds back for checks, and the steady harmonic signal that several tests analyse, slow down
// or stretch.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/counted_ptr.h"
#include "sound/sound_node.h"
#include "sound/wave.h"
#include "support/wav_bytes.h"

namespace melvox::testing {

// The 16-bit samples a wave holds: SampleCount() frames of all its channels, interleaved.
std::vector<int16_t> Samples16(const CWave& wave);

// Everything a 16-bit mono source delivers from its start, read in pieces of up to 1024 frames.
std::vector<int16_t> ReadAll16(CSoundSource& source);

// A source opened from the bytes of a sound file held in memory.
CountedPtr<CSoundSource> OpenBytes(const Bytes& bytes);

// Harmonics 1 to `count` of a fundamental whose period is `period` samples (not necessarily whole), the
// k-th of amplitude `amplitude` / k, from sample `onset` on (zeros before it). The phase is taken modulo
// the period, so the signal repeats exactly after every whole multiple of it.
std::vector<int16_t> Harmonic(double period, int count, size_t length, double amplitude, size_t onset = 0);

}  // namespace melvox::testing

// ResynthesizeTracks: the sound that the spectrum view plays instead of the recording, one pure tone
// per spectral peak track, mixed.
#pragma once

#include <cstdint>
#include <memory>

#include "sound/wave.h"
#include "spectral/peak_tracks.h"
#include "spectral/spectral_analysis.h"
#include "spectral/spectral_peak.h"

namespace melvox {

// A peak's weight in the resynthesis: its energy from bin 5 up; below, its energy divided by 6 - bin
// (6, 5, 4, 3, 2 for bins 0 to 4), in single precision, which softens the lowest bins.
float PeakAmplitude(const SpectralPeak& peak);

// The tones of a sound's peak tracks (PeakTracks), mixed: see the overload below, on its analysis's
// length, step and selection start. Null when the sound has no tracks.
std::unique_ptr<CWave> ResynthesizeTracks(const CSpectralAnalysis& spectral);

// The same for given tracks of a wave of `length` samples analysed in steps of `hop` samples from
// `selection_start` on. The result (44100 Hz, 16-bit mono, SynthesizeTone's format) covers the whole
// wave: length / hop steps of 441 samples, whatever the wave's rate. Track frame f sounds in step
// f + selection_start / hop. Each track is one triangle tone: a peak at bin b gives its step the pitch
// b x 96 Hz (in 16 bits; 50 Hz for bin 0) and the amplitude PeakAmplitude x scale, where the scale puts
// the largest sum of PeakAmplitude over one step's points (bin 0 left out) at 0.9 of full scale. The
// tones are added sample by sample in 16 bits, wrapping around: the scale bounds each step's summed
// amplitudes, not the mixed samples.
// Null when there are no tracks, when no point outside bin 0 carries energy (the scale is then not
// defined), or when the mix cannot be allocated; a tone that cannot be synthesized (a failed
// allocation) is left out of the mix.
std::unique_ptr<CWave> ResynthesizeTracks(const CPeakTracks& tracks, uint32_t length, int32_t hop,
                                          int32_t selection_start);

}  // namespace melvox

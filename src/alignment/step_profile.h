// What the aligned comparison reads of one analysed sound, per 10 ms step: band levels of the log
// spectrum, the level and the pitch, each relative to the sound itself.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/sound_analysis.h"

namespace melvox {

// Band edges are spaced evenly on the mel scale from kLowestBandHz up to the top of the spectrum the
// analysis keeps (which depends on the rate: about 2300 Hz at 8000 Hz, 3750 Hz at 16000 Hz, 5170 Hz
// at 22050 and 44100 Hz), but never above kHighestBandHz.
constexpr int32_t kProfileBands = 16;
constexpr float kLowestBandHz = 150.0f;
constexpr float kHighestBandHz = 4500.0f;

// One sound's steps. Levels count in nepers of power (the natural logarithm of the analysis's power
// values): 1 neper is 4.34 dB.
struct StepProfile {
  int32_t first_ms = 0;  // time of step 0 in the sound: the analysed selection's start, in ms
  float top_hz = 0.0f;   // the highest frequency the analysis's log spectrum reaches
  float bin_hz = 0.0f;   // the width of one value of the log spectrum
  // Per step, ln power of every value of the log spectrum relative to the loudest value of the whole
  // sound (so 0 or below); empty for a silent step.
  std::vector<std::vector<float>> spectra;
  // Per step, level in dB relative to the sound's loudest step (0 or below).
  std::vector<float> level_db;
  // Per step, pitch in semitones relative to the median of the sound's voiced steps; 0 when unvoiced.
  std::vector<float> semitones;
  std::vector<uint8_t> voiced;
};

// The profile of an analysis (all its steps). A sound without any result gives an empty profile.
StepProfile MakeStepProfile(const CSoundAnalysis& analysis);

}  // namespace melvox

// A sound made ready for the aligned comparison: brought to a standard loudness, its useful part
// found, analysed.
#pragma once

#include <memory>

#include "analysis/sound_analysis.h"
#include "sound/wave.h"

namespace melvox {

// The robust peak (the 99.5th percentile of the sample magnitudes) a sound is brought to, on the
// 16-bit scale, and the most it is raised or lowered.
constexpr float kAlignedPeak = 8000.0f;
constexpr float kMaxAlignedGain = 64.0f;

// The analysis decides silence and finds the useful part against fixed energy thresholds, so a sound
// recorded 20 dB quieter than its reference would lose most of its steps. The aligned comparison
// therefore analyses a copy at a standard loudness. The copy is 16-bit mono (the channels' mean) with
// the wave's rate and length, so that its positions are the wave's.
class CAlignedSound {
 public:
  // Copies and scales `wave`, finds its useful part when detect_endpoints is set (the whole sound when
  // none is found) and analyses that part with the default pitch range. Throws what CSoundAnalysis
  // throws (CMVException 8 for a rate outside 8000..96000 Hz or other than 8 or 16 bits).
  CAlignedSound(const CWave& wave, bool detect_endpoints);
  CAlignedSound(const CAlignedSound&) = delete;
  CAlignedSound& operator=(const CAlignedSound&) = delete;

  const CSoundAnalysis& Analysis() const { return *analysis_; }
  const CWave& Wave() const { return *wave_; }

 private:
  std::unique_ptr<CWave> wave_;
  std::unique_ptr<CSoundAnalysis> analysis_;
};

// The 16-bit mono copy of `wave` at the standard loudness (see above); a silent wave stays silent.
std::unique_ptr<CWave> LevelNormalizedCopy(const CWave& wave);

}  // namespace melvox

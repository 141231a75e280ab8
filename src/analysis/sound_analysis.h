// CSoundAnalysis: the analysis of the selected part of one CWave on the 10 ms grid, with its smoothed
// pitch contour and its voiced and noisy segments derived on request.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/frame_features.h"
#include "analysis/frame_result.h"
#include "analysis/pitch_segment.h"
#include "analysis/time_segment.h"
#include "analysis/value_segment.h"
#include "platform/wave_format.h"
#include "sound/wave.h"

namespace melvox {

// One FrameResult per 10 ms step (hop = rate / 100 samples) from the wave's selection start on, with
// the FrameFeature of every 10 ms frame of the selection and the smoothed pitch contour; the voiced and
// noisy segments are derived on first request and kept. What comes from the spectrum (the peak tracks,
// the note list) is CSpectralAnalysis's, in src/spectral.
//
// The analysis runs in the constructor. It reads the wave's selection, clamped to the samples the
// wave holds; a multi-channel wave is analysed through the mean of its channels, and unsigned 8-bit
// samples in signed form, both through a copy: the caller's wave is never changed.
//
// Threading: an analysis is made and read on one thread. Analyses of any sounds may run on several
// threads at once, with the same results as one after the other: each takes a frame analyzer of its
// own for the time it runs, and the products made on request are the analysis's own.
class CSoundAnalysis {
 public:
  // Analyses wave's selection with the pitch range of reference_pitch_hz (0 for 60..440 Hz, else
  // 2.1 times below and above it). Throws CMVException 9 ("Incorrect wave format") for a null wave, 8
  // ("Unsupported wave format") for other than 8 or 16 bits or a rate outside 8000..96000 Hz, and
  // std::invalid_argument for a reference pitch outside 20..1000 Hz. A selection shorter than one
  // analysis frame leaves the analysis empty. With StepMeasures::kWithoutSpectrum the steps carry no
  // log spectrum (and a CSpectralAnalysis over it finds no peaks); the rest is the same.
  CSoundAnalysis(const CWave* wave, int32_t reference_pitch_hz, StepMeasures measures = StepMeasures::kAll);
  ~CSoundAnalysis();
  CSoundAnalysis(const CSoundAnalysis&) = delete;
  CSoundAnalysis& operator=(const CSoundAnalysis&) = delete;

  const std::vector<FrameResult>& Results() const { return results_; }
  const std::vector<FrameFeature>& Features() const { return features_; }
  // The thresholds that classified the features (fixed for the whole selection).
  const NoiseThresholds& Thresholds() const { return thresholds_; }
  // First and last sample of the analysed selection.
  int32_t SelectionStart() const { return selection_start_; }
  int32_t SelectionEnd() const { return selection_end_; }
  // Samples of the wave (frames, for a multi-channel wave).
  uint32_t Length() const { return length_; }
  // The analysed format: the wave's, with one channel.
  const WAVEFORMATEX& Format() const { return format_; }
  // Samples per 10 ms step.
  int32_t Hop() const { return hop_; }

  // Pitch in Hz (0 = unvoiced) of every 10 ms step of the sample range first..last of the wave:
  // (last - first + 1) / hop values counted on the wave's own step grid (frame f covers samples
  // f x hop ..), with zeros for the steps before the selection and after the last result.
  std::vector<int16_t> GetPitchContour(int32_t first, int32_t last) const;

  // The voiced runs of 20 ms or more (single steps merged into a run less than 99 ms away), each
  // classified by its contour shape (BuildPitchSegments); times in ms from the selection start.
  const std::vector<CPitchSegment>& VoicedSegments() const;
  // The noisy (fricative) runs, classified by their zero-crossing rate (BuildNoiseSegments).
  const std::vector<CValueSegment>& NoisySegments() const;

 private:
  void Analyse(const CWave& wave, int32_t reference_pitch, StepMeasures measures);

  NoiseThresholds thresholds_;
  mutable std::optional<std::vector<CPitchSegment>> voiced_segments_;
  mutable std::optional<std::vector<CValueSegment>> noisy_segments_;
  std::vector<FrameFeature> features_;
  std::vector<FrameResult> results_;
  int32_t selection_start_ = 0;
  int32_t selection_end_ = -1;
  uint32_t length_ = 0;
  WAVEFORMATEX format_{};
  int32_t hop_ = 0;
};

}  // namespace melvox

// CPitchTracker: the pitch of one frame from its average magnitude difference function (AMDF), and
// the smoothing of a whole sound's pitch contour.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/amdf.h"
#include "analysis/frame_result.h"

namespace melvox {

// Searches lags from minLag to maxLag samples: 60 to 440 Hz by default, or 2.1 times below and above
// a reference pitch. A frame is voiced when it is loud (energy >= 400000), not noisy (fewer than 50
// zero crossings per 10 ms), periodic (AMDF maximum / minimum >= 3.2) and not the rising edge of a
// sound; its pitch is then sample rate / lag (integer Hz), else 0.
//
// The tracker keeps state between frames (the candidates and the periodicity of the last frame that
// passed the loudness gate). Not thread-safe.
class CPitchTracker {
 public:
  // Reference pitches other than 0 (the default range) must lie in this range, Hz.
  static constexpr int32_t kMinReferencePitch = 20;
  static constexpr int32_t kMaxReferencePitch = 1000;

  // Throws std::invalid_argument unless reference_pitch is 0 or within the range above.
  static void CheckReferencePitch(int32_t reference_pitch);

  // Sets the lag range, the AMDF window and the samples a frame needs for a rate (Hz) and reference
  // pitch (Hz, 0 for 60..440 Hz); clears the candidates. Throws std::invalid_argument for a reference
  // pitch outside the range above or a rate that leaves no lag to search.
  void Configure(uint32_t sample_rate, int32_t reference_pitch);

  // Pitch of a frame of at least FrameNeed() samples (Hz, 0 = unvoiced). Voiced frames leave their
  // candidates (the chosen lag first) in Candidates(); unvoiced ones clear them.
  int16_t Estimate(const int16_t* frame, const FrameFeature& feature);

  // Forgets the last frame: clears the candidates and the periodicity.
  void Reset() {
    candidates_.clear();
    periodicity_ = 0.0f;
  }
  const std::vector<PitchCandidate>& Candidates() const { return candidates_; }
  // AMDF maximum / minimum of the last frame that passed the loudness gate.
  float Periodicity() const { return periodicity_; }

  // Smooths the pitch contour of a whole sound in place (see SmoothPitchContour).
  void SmoothPitch(std::vector<FrameResult>& results) const;

  uint32_t SampleRate() const { return sample_rate_; }
  int32_t ReferencePitch() const { return reference_pitch_; }
  int32_t MinLag() const { return min_lag_; }
  int32_t MaxLag() const { return max_lag_; }
  int32_t Window() const { return window_; }
  int32_t LagCount() const { return lag_count_; }
  // Samples of a frame that the AMDF and the onset check read: window + maxLag.
  int32_t FrameNeed() const { return frame_need_; }

 private:
  void ComputeAmdf(const int16_t* frame);
  // The deepest AMDF minimum and up to 4 more whose depth is at least 0.88.
  void FindCandidates();
  // Overwrites the AMDF with its maximum around index `centre` and out to the next local maxima.
  void EraseAround(int32_t centre);
  // Takes the shortest candidate lag when the best lag is close to a multiple of it.
  void CorrectOctave();
  // True when the second half of the frame is much louder than the first: a sound starting.
  bool IsOnset(const int16_t* frame) const;
  int16_t Unvoiced();

  std::vector<PitchCandidate> candidates_;
  float periodicity_ = 0.0f;
  std::vector<int32_t> amdf_;  // lagCount + 1 values
  AmdfKernel amdf_kernel_ = BestAmdfKernel();
  ExtremesKernel extremes_kernel_ = BestExtremesKernel();
  uint32_t sample_rate_ = 0;
  int32_t reference_pitch_ = 0;
  int32_t samples_per_ms_ = 0;
  int32_t window_ = 0;
  int32_t min_lag_ = 0;
  int32_t max_lag_ = 0;
  int32_t lag_count_ = 0;
  int32_t frame_need_ = 0;
  int32_t amdf_max_ = 0;
  int32_t amdf_min_ = 0;
  int32_t best_lag_ = 0;
};

}  // namespace melvox

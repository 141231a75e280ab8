// CFrameAnalyzer: level, pitch and log spectrum of one 10 ms step at a time, and the process-wide
// pool that lends configured analyzers to the analyses.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/frame_result.h"
#include "analysis/pitch_tracker.h"
#include "analysis/power_fft.h"
#include "platform/wave_format.h"

namespace melvox {

// Sample rates the analysis accepts, Hz. Above 96000 Hz a 10 ms frame no longer fits the 1024-point
// transform.
constexpr uint32_t kMinAnalysisRate = 8000;
constexpr uint32_t kMaxAnalysisRate = 96000;

// Throws CMVException 8 ("Unsupported wave format") unless the format has 8 or 16 bits per sample
// and a rate from kMinAnalysisRate to kMaxAnalysisRate.
void CheckAnalysisFormat(const WAVEFORMATEX& format);

// Measures one step after another: the level in dB, the pitch (CPitchTracker on the unfiltered
// frame) and the natural logarithm of the low power spectrum (CPowerFft on the pre-emphasised frame),
// written into a FrameResult. After the last step SmoothPitch smooths the sound's contour.
//
// Each call reads FrameLength() samples from the step's first sample: max(the power of two that holds
// 10 ms, the samples the pitch tracker needs). All buffers are allocated by Configure; a step
// allocates only the result's two vectors.
//
// Threading: an analyzer keeps state between steps, so it serves one sound at a time, on one thread;
// AcquireFrameAnalyzer lends each analysis one of its own.
class CFrameAnalyzer {
 public:
  CFrameAnalyzer() = default;
  CFrameAnalyzer(const CFrameAnalyzer&) = delete;
  CFrameAnalyzer& operator=(const CFrameAnalyzer&) = delete;

  // Prepares for a format and reference pitch (Hz, 0 for the 60..440 Hz range). With the stored format
  // only a changed reference pitch is taken over. Throws CMVException 8 for a format that
  // CheckAnalysisFormat refuses and std::invalid_argument for a reference pitch the tracker refuses.
  void Configure(const WAVEFORMATEX& format, int32_t reference_pitch);
  // Clears what is carried between steps (the level, the tracker's candidates and the periodicity of
  // the last frame that passed the loudness gate); called before each sound, so that an analysis never
  // depends on what the process analysed before.
  void Reset();

  // One step from `samples`, which must hold FrameLength() samples; `feature` is the step's 10 ms
  // frame record. The 8-bit form takes signed samples and widens them by shifting left by 8. With
  // StepMeasures::kWithoutSpectrum the result's log spectrum stays empty.
  void AnalyzeFrame(const int16_t* samples, const FrameFeature& feature, FrameResult& result,
                    StepMeasures measures = StepMeasures::kAll);
  void AnalyzeFrame(const int8_t* samples, const FrameFeature& feature, FrameResult& result,
                    StepMeasures measures = StepMeasures::kAll);
  void SmoothPitch(std::vector<FrameResult>& results) const { tracker_.SmoothPitch(results); }

  const WAVEFORMATEX& Format() const { return format_; }
  int32_t ReferencePitch() const { return tracker_.ReferencePitch(); }
  int32_t FrameLength() const { return frame_length_; }
  // Power values per transform (63 at 8000 Hz, up to 511).
  int32_t SpectrumCount() const { return spectrum_count_; }
  const CPitchTracker& Tracker() const { return tracker_; }

 private:
  // Steps 2 to 7 of a step whose samples are in frame_ (unless it is silent).
  void Measure(const FrameFeature& feature, FrameResult& result, StepMeasures measures);
  void SetFrameLength();

  float level_db_ = 0.0f;
  float previous_level_db_ = 0.0f;
  float periodicity_ = 0.0f;
  int16_t pitch_hz_ = 0;
  std::vector<int32_t> power_;
  std::vector<int16_t> frame_;
  int32_t spectrum_count_ = 0;
  WAVEFORMATEX format_{};
  bool configured_ = false;
  int32_t frame_length_ = 0;
  CPitchTracker tracker_;
  CPowerFft fft_;
};

// Returns a lent analyzer to the pool.
struct FrameAnalyzerReturn {
  void operator()(CFrameAnalyzer* analyzer) const;
};
// An analyzer lent to one analysis; going out of scope gives it back.
using FrameAnalyzerLease = std::unique_ptr<CFrameAnalyzer, FrameAnalyzerReturn>;

// Lends an analyzer configured for the format and reference pitch (matched on format tag, channels,
// rate, average bytes per second, block align, bits and reference pitch): an idle one from the
// process-wide pool, else a new one. Configuring costs more than a 10 ms step (the transform's tables),
// so analyzers are kept for the next sound instead of being made per analysis. Throws as Configure.
//
// Threading: any thread. The pool's list is guarded by a mutex; a lent analyzer belongs to its
// borrower alone until it is given back, so analyses on different threads never share one.
FrameAnalyzerLease AcquireFrameAnalyzer(const WAVEFORMATEX& format, int32_t reference_pitch);

}  // namespace melvox

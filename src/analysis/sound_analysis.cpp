#include "analysis/sound_analysis.h"

#include <algorithm>
#include <memory>

#include "analysis/frame_analyzer.h"
#include "analysis/mono_wave.h"
#include "analysis/pitch_tracker.h"
#include "core/mv_exception.h"

namespace melvox {

CSoundAnalysis::CSoundAnalysis(const CWave* wave, int32_t reference_pitch_hz, StepMeasures measures) {
  // No wave to analyse: the answer a source that decodes to no wave gets.
  if (wave == nullptr) throw CMVException(kErrIncorrectWaveFormat);
  CheckAnalysisFormat(wave->Format());
  CPitchTracker::CheckReferencePitch(reference_pitch_hz);

  // The caller's wave is only read: a multi-channel wave, or unsigned 8-bit samples, are analysed
  // through a mono copy with signed samples, so that several threads may analyse at once.
  std::unique_ptr<CWave> copy;
  const CWave* target = wave;
  const bool unsigned_bytes = wave->Format().wBitsPerSample == 8 && wave->Kind() != SampleKind::kSigned;
  if (wave->Format().nChannels > 1 || unsigned_bytes) {
    copy = MonoCopy(*wave, ByteSamples::kSigned);
    target = copy.get();
  }
  length_ = UsableSampleCount(*target);
  selection_start_ = std::max(target->SelectionStart(), 0);
  selection_end_ = std::min(target->SelectionEnd(), static_cast<int32_t>(length_) - 1);
  format_ = MakePcmFormat(1, target->Format().nSamplesPerSec, target->Format().wBitsPerSample);
  format_.wFormatTag = target->Format().wFormatTag;
  hop_ = static_cast<int32_t>(format_.nSamplesPerSec / 100);
  Analyse(*target, reference_pitch_hz, measures);
}

CSoundAnalysis::~CSoundAnalysis() = default;

void CSoundAnalysis::Analyse(const CWave& wave, int32_t reference_pitch, StepMeasures measures) {
  const FrameAnalyzerLease lease = AcquireFrameAnalyzer(format_, reference_pitch);
  CFrameAnalyzer& analyzer = *lease;
  const int32_t frame_length = analyzer.FrameLength();
  const int64_t selected = int64_t{selection_end_} - selection_start_ + 1;
  if (!results_.empty() || selected < frame_length || selected / hop_ == 0) return;
  // The noise level comes from the wave's first two frames, wherever the selection starts.
  if (length_ < 2 * static_cast<uint32_t>(hop_)) return;
  const SampleLayout layout = LayoutOf(wave);
  thresholds_.SetNoiseLevel(
      InitialNoiseLevel(MeasureFrame(layout, 0, hop_).energy, MeasureFrame(layout, hop_, hop_).energy));

  // Frames start while start <= selection end - hop, and steps while start <= selection end - frame
  // length: the last whole frame or step of the selection is left out when it ends exactly on the
  // selection's last sample. These bounds are kept as they are, since they fix the number of steps
  // that every comparison of two analyses counts.
  const int64_t frames = (int64_t{selection_end_} - hop_ - selection_start_) / hop_ + 1;
  if (frames > 0) features_.reserve(static_cast<size_t>(frames));
  uint32_t index = 0;
  for (int64_t start = selection_start_; start <= int64_t{selection_end_} - hop_; start += hop_, ++index) {
    FrameFeature feature = MeasureFrame(layout, static_cast<uint32_t>(start), hop_);
    feature.position = index;
    feature.frame_class = thresholds_.Classify(feature.energy);
    features_.push_back(feature);
  }
  results_.resize(features_.size());

  analyzer.Reset();
  size_t step = 0;
  for (int64_t start = selection_start_; start <= int64_t{selection_end_} - frame_length && step < results_.size();
       start += hop_, ++step) {
    if (layout.eight_bit) {
      const auto* samples = reinterpret_cast<const int8_t*>(wave.Data() + start);
      analyzer.AnalyzeFrame(samples, features_[step], results_[step], measures);
    } else {
      const auto* samples = reinterpret_cast<const int16_t*>(wave.Data() + start * 2);
      analyzer.AnalyzeFrame(samples, features_[step], results_[step], measures);
    }
  }
  analyzer.SmoothPitch(results_);
}

std::vector<int16_t> CSoundAnalysis::GetPitchContour(int32_t first, int32_t last) const {
  std::vector<int16_t> contour;
  if (hop_ <= 0) return contour;
  const int64_t f0 = first / hop_;
  const int64_t f1 = last / hop_;
  const int64_t s0 = selection_start_ / hop_;
  if (f1 < f0) return contour;
  const int64_t wanted = f1 - f0 + 1;
  contour.reserve(static_cast<size_t>(std::max<int64_t>((int64_t{last} - first + 1) / hop_, 0)));
  // Zeros for the steps before the selection, never more than the range holds.
  if (f0 < s0) contour.assign(static_cast<size_t>(std::min(s0, f1 + 1) - f0), 0);
  for (int64_t f = std::max(f0, s0); f <= f1; ++f) {
    const auto index = static_cast<size_t>(f - s0);
    if (index >= results_.size()) break;
    contour.push_back(results_[index].pitch_hz);
  }
  if (static_cast<int64_t>(contour.size()) < wanted) contour.resize(static_cast<size_t>(wanted), 0);
  return contour;
}

const std::vector<CPitchSegment>& CSoundAnalysis::VoicedSegments() const {
  if (!voiced_segments_) voiced_segments_ = BuildPitchSegments(results_);
  return *voiced_segments_;
}

const std::vector<CValueSegment>& CSoundAnalysis::NoisySegments() const {
  if (!noisy_segments_) noisy_segments_ = BuildNoiseSegments(results_);
  return *noisy_segments_;
}

}  // namespace melvox

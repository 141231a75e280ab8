#include "spectral/track_resynthesis.h"

#include <algorithm>
#include <vector>

#include "analysis/tone_synthesizer.h"

namespace melvox {
namespace {

// 0.9 x 32767: the loudest step of the mix, in summed peak amplitudes.
constexpr float kLoudestStep = 29490.299f;
// Hz per bin of the tracks, and the pitch that a bin-0 peak sounds at.
constexpr int32_t kHzPerBin = 96;
constexpr uint16_t kBinZeroPitch = 50;

// The largest single-precision sum of PeakAmplitude over the points of one step.
float LargestStepSum(const CPeakTracks& tracks) {
  float largest = 0.0f;
  for (int32_t frame = tracks.FirstFrame(); frame <= tracks.LastFrame(); ++frame) {
    float sum = 0.0f;
    for (const SpectralPeak& point : tracks.PointsAt(frame)) sum += PeakAmplitude(point);
    largest = std::max(largest, sum);
  }
  return largest;
}

// Adds `tone` into `mix` from sample `first` on, sample by sample, wrapping around in 16 bits.
void AddInto(CWave& mix, const CWave& tone, size_t first) {
  auto* out = reinterpret_cast<int16_t*>(mix.Data()) + first;
  const auto* in = reinterpret_cast<const int16_t*>(tone.Data());
  const size_t count =
      std::min<size_t>(mix.SampleCount() - std::min<size_t>(first, mix.SampleCount()), tone.SampleCount());
  for (size_t i = 0; i < count; ++i) {
    out[i] = static_cast<int16_t>(static_cast<uint16_t>(out[i]) + static_cast<uint16_t>(in[i]));
  }
}

}  // namespace

float PeakAmplitude(const SpectralPeak& peak) {
  if (peak.bin >= 5) return peak.energy;
  return peak.energy / static_cast<float>(6 - peak.bin);
}

std::unique_ptr<CWave> ResynthesizeTracks(const CSpectralAnalysis& spectral) {
  const CPeakTracks* tracks = spectral.PeakTracks();
  if (tracks == nullptr) return nullptr;
  const CSoundAnalysis& analysis = spectral.Analysis();
  return ResynthesizeTracks(*tracks, analysis.Length(), analysis.Hop(), analysis.SelectionStart());
}

std::unique_ptr<CWave> ResynthesizeTracks(const CPeakTracks& tracks, uint32_t length, int32_t hop,
                                          int32_t selection_start) {
  if (tracks.Tracks().empty() || hop <= 0) return nullptr;
  const float largest = LargestStepSum(tracks);
  // Only bin-0 points, or none with energy: there is nothing to scale to.
  if (!(largest > 0.0f)) return nullptr;
  const float scale = kLoudestStep / largest;

  const size_t step_count = length / static_cast<uint32_t>(hop);
  const int64_t offset = std::max(selection_start, 0) / hop;
  // The mix has a step of silence for every step of the wave. Each track is synthesized over its own
  // steps only and added where they lie: a tone is silent outside its steps and starts from the same
  // oscillator state after any run of silence, so this gives the samples of a whole-length tone per
  // track without making one.
  std::unique_ptr<CWave> mix = SynthesizeTone(std::vector<ToneStep>(step_count, ToneStep{0, 0}));
  if (!mix) return nullptr;
  std::vector<ToneStep> steps;
  for (const PeakTrack& track : tracks.Tracks()) {
    int64_t first = -1;
    steps.clear();
    for (const SpectralPeak& peak : track.peaks) {
      const int64_t step = offset + peak.frame;
      if (step < 0 || step >= static_cast<int64_t>(step_count)) continue;
      if (first < 0) first = step;
      // A track's peaks lie in consecutive steps, so every step from the first one taken is its own.
      steps.resize(static_cast<size_t>(step - first + 1), ToneStep{0, 0});
      const auto pitch = static_cast<uint16_t>(peak.bin * kHzPerBin);
      // The synthesizer takes at most full scale; a bin-0 peak, left out of the scale, may ask for more.
      const float amplitude = std::min(PeakAmplitude(peak) * scale, 32767.0f);
      steps.back() = {pitch != 0 ? pitch : kBinZeroPitch, static_cast<int32_t>(amplitude)};
    }
    if (steps.empty()) continue;
    if (const std::unique_ptr<CWave> tone = SynthesizeTone(steps)) {
      AddInto(*mix, *tone, static_cast<size_t>(first) * kToneSamplesPerStep);
    }
  }
  return mix;
}

}  // namespace melvox

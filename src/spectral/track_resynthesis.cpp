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

// Adds `wave` into `mix`, sample by sample, wrapping around in 16 bits.
void AddInto(CWave& mix, const CWave& wave) {
  auto* out = reinterpret_cast<int16_t*>(mix.Data());
  const auto* in = reinterpret_cast<const int16_t*>(wave.Data());
  const uint32_t count = std::min(mix.SampleCount(), wave.SampleCount());
  for (uint32_t i = 0; i < count; ++i) {
    out[i] = static_cast<int16_t>(static_cast<uint16_t>(out[i]) + static_cast<uint16_t>(in[i]));
  }
}

}  // namespace

float PeakAmplitude(const SpectralPeak& peak) {
  if (peak.bin >= 5) return peak.energy;
  return peak.energy / static_cast<float>(6 - peak.bin);
}

std::unique_ptr<CWave> ResynthesizeTracks(const CSoundAnalysis& analysis) {
  const CPeakTracks* tracks = analysis.GetTracks();
  if (tracks == nullptr) return nullptr;
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
  std::vector<ToneStep> steps(step_count);
  std::unique_ptr<CWave> mix;
  for (const PeakTrack& track : tracks.Tracks()) {
    std::fill(steps.begin(), steps.end(), ToneStep{0, 0});
    for (const SpectralPeak& peak : track.peaks) {
      const int64_t step = offset + peak.frame;
      if (step < 0 || step >= static_cast<int64_t>(step_count)) continue;
      const auto pitch = static_cast<uint16_t>(peak.bin * kHzPerBin);
      // The synthesizer takes at most full scale; a bin-0 peak, left out of the scale, may ask for more.
      const float amplitude = std::min(PeakAmplitude(peak) * scale, 32767.0f);
      steps[static_cast<size_t>(step)] = {pitch != 0 ? pitch : kBinZeroPitch, static_cast<int32_t>(amplitude)};
    }
    std::unique_ptr<CWave> tone = SynthesizeTone(steps);
    if (!tone) continue;
    if (!mix) {
      mix = std::move(tone);
    } else {
      AddInto(*mix, *tone);
    }
  }
  return mix;
}

}  // namespace melvox

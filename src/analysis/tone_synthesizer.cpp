#include "analysis/tone_synthesizer.h"

#include <algorithm>

namespace melvox {
namespace {

// A step's samples split into the glide to its amplitude and the part that may fade out.
constexpr int32_t kGlideSamples = 220;
constexpr int32_t kFadeSamples = static_cast<int32_t>(kToneSamplesPerStep) - kGlideSamples;  // 221
// The shortest period the oscillator turns in: with one sample per period its reflections would grow
// without bound.
constexpr uint32_t kShortestPeriod = 2;

// A triangle wave of amplitude `amplitude` that moves by `slope` per sample and reflects at +-amplitude.
struct TriangleOscillator {
  float last = 0.0f;      // the previous value (the truncated sample after a turn)
  int32_t direction = 1;  // +1 rising, -1 falling
  int32_t amplitude = 0;  // A, peak value in sample units
  float slope = 0.0f;     // 4 A / period: one period runs from -A to +A and back

  // The next sample of a wave with the given period in samples.
  int16_t Next(float period) {
    const auto peak = static_cast<float>(amplitude);
    slope = static_cast<float>(4 * amplitude) / period;
    float value = static_cast<float>(direction) * slope + last;
    bool turned = true;
    if (static_cast<int32_t>(value) > amplitude) {
      direction = -1;
      value = peak - (last + slope - peak);
    } else if (static_cast<int32_t>(value) < -amplitude) {
      direction = 1;
      value = slope - (peak + last) - peak;
    } else {
      turned = false;
    }
    const int32_t sample = static_cast<int32_t>(value);
    last = turned ? static_cast<float>(sample) : value;
    // A fade that lowers the amplitude by more than the slope can leave one reflection a little past
    // full scale; the sample is clipped rather than wrapped.
    return static_cast<int16_t>(std::clamp(sample, -32768, 32767));
  }
};

bool IsSilent(const ToneStep& step) { return step.pitch == 0 || step.amplitude <= 0; }

}  // namespace

std::unique_ptr<CWave> SynthesizeTone(const std::vector<ToneStep>& steps) {
  if (steps.empty()) return nullptr;
  const uint64_t samples = uint64_t{steps.size()} * kToneSamplesPerStep;
  if (samples * 2 > UINT32_MAX) return nullptr;
  auto wave = std::make_unique<CWave>(MakePcmFormat(1, kToneRate, 16), static_cast<uint32_t>(samples * 2), nullptr);
  if (wave->Data() == nullptr) return nullptr;
  wave->SetSampleCount(static_cast<uint32_t>(samples));
  wave->SetSelection(0, static_cast<int32_t>(samples - 1));
  wave->SetKind(SampleKind::kSigned);

  TriangleOscillator osc;  // each call its own, so tones may be made on several threads at once
  auto* out = reinterpret_cast<int16_t*>(wave->Data());
  for (size_t i = 0; i < steps.size(); ++i) {
    if (IsSilent(steps[i])) {
      // The block is zero-filled already. The direction carries on into the next tone.
      out += kToneSamplesPerStep;
      osc.last = 0.0f;
      osc.amplitude = 0;
      continue;
    }
    const int32_t target = std::min(steps[i].amplitude, 32767);
    const bool ends_tone = i + 1 == steps.size() || IsSilent(steps[i + 1]);
    const auto period = static_cast<float>(std::max(kToneRate / steps[i].pitch, kShortestPeriod));

    const int32_t from = osc.amplitude;
    for (int32_t k = 1; k <= kGlideSamples; ++k) {
      if (target != from) osc.amplitude = from + (target - from) * k / kGlideSamples;
      *out++ = osc.Next(period);
    }
    const int32_t held = osc.amplitude;
    for (int32_t k = 1; k <= kFadeSamples; ++k) {
      if (ends_tone) osc.amplitude = held - held * k / kFadeSamples;
      *out++ = osc.Next(period);
    }
  }
  return wave;
}

}  // namespace melvox

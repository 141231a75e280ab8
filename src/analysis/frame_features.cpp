#include "analysis/frame_features.h"

#include <algorithm>
#include <cstring>

namespace melvox {
namespace {

constexpr float kLowestInitialNoise = 16384.0f;
constexpr float kHighestInitialNoise = 262144.0f;

// One pass over the frame: mean, then energy and zero crossings of the mean-removed samples.
// `read(i)` gives sample i of the frame in signed form.
template <typename Read>
FrameFeature Measure(Read read, int32_t length, bool eight_bit) {
  int64_t sum = 0;
  for (int32_t i = 0; i < length; ++i) sum += read(i);
  const auto mean = static_cast<int32_t>(sum / length);  // integer division, toward zero

  FrameFeature feature;
  float energy = 0.0f;
  int64_t energy8 = 0;
  bool negative = false;
  uint16_t crossings = 0;
  for (int32_t i = 0; i < length; ++i) {
    // The 16-bit path truncates the difference to 16 bits before squaring it, as the sample
    // arithmetic of the detector always has; an 8-bit difference always fits.
    const auto difference = static_cast<int16_t>(read(i) - mean);
    if (eight_bit) {
      energy8 += int32_t{difference} * difference;
    } else {
      energy += static_cast<float>(int32_t{difference} * difference);  // summed in single precision
    }
    const bool is_negative = difference < 0;
    if (i > 0 && is_negative != negative) ++crossings;
    negative = is_negative;
  }
  feature.energy = eight_bit ? static_cast<float>(static_cast<double>(energy8) * 65536.0 / length)
                             : energy / static_cast<float>(length);
  feature.zero_crossings = crossings;
  return feature;
}

}  // namespace

void NoiseThresholds::SetNoiseLevel(float level) {
  noise_level = level;
  low_threshold = low_factor * level;
  high_threshold = high_factor * level;
}

int32_t NoiseThresholds::Classify(float energy) const {
  if (energy > high_threshold) return kFrameLoud;
  if (energy > low_threshold) return kFrameWeak;
  return kFrameSilence;
}

float InitialNoiseLevel(float energy0, float energy1) {
  const float energy = std::min(energy0, energy1);
  if (energy < kLowestInitialNoise) return kLowestInitialNoise;
  if (energy > kHighestInitialNoise) return kHighestInitialNoise;
  return energy;
}

SampleLayout LayoutOf(const CWave& wave) {
  SampleLayout layout;
  layout.data = wave.Data();
  layout.eight_bit = wave.Format().wBitsPerSample == 8;
  layout.signed_bytes = wave.Kind() == SampleKind::kSigned;
  return layout;
}

uint32_t UsableSampleCount(const CWave& wave) {
  if (wave.Data() == nullptr) return 0;
  const uint32_t channels = std::max<uint32_t>(wave.Format().nChannels, 1);
  return std::min(wave.SampleCount(), wave.Size() / (wave.BytesPerSample() * channels));
}

FrameFeature MeasureFrame(const SampleLayout& layout, uint32_t first, int32_t length) {
  if (layout.eight_bit) {
    const uint8_t* bytes = layout.data + first;
    if (layout.signed_bytes) {
      return Measure([bytes](int32_t i) { return int32_t{static_cast<int8_t>(bytes[i])}; }, length, true);
    }
    return Measure([bytes](int32_t i) { return int32_t{bytes[i]} - 128; }, length, true);
  }
  const uint8_t* bytes = layout.data + size_t{first} * 2;
  return Measure(
      [bytes](int32_t i) {
        int16_t sample;
        std::memcpy(&sample, bytes + size_t(i) * 2, sizeof sample);
        return int32_t{sample};
      },
      length, false);
}

}  // namespace melvox

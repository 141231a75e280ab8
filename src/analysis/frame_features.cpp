#include "analysis/frame_features.h"

#include <algorithm>
#include <cstring>

namespace melvox {
namespace {

constexpr float kLowestInitialNoise = 16384.0f;
constexpr float kHighestInitialNoise = 262144.0f;

// The features of 8-bit samples: mean, then energy and zero crossings of the mean-removed samples.
// `read(i)` gives sample i of the frame in signed form; an 8-bit difference always fits.
template <typename Read>
FrameFeature Measure8(Read read, int32_t length) {
  int64_t sum = 0;
  for (int32_t i = 0; i < length; ++i) sum += read(i);
  const auto mean = static_cast<int32_t>(sum / length);  // integer division, toward zero

  FrameFeature feature;
  int64_t energy8 = 0;
  bool negative = false;
  uint16_t crossings = 0;
  for (int32_t i = 0; i < length; ++i) {
    const auto difference = static_cast<int16_t>(read(i) - mean);
    energy8 += int32_t{difference} * difference;
    const bool is_negative = difference < 0;
    if (i > 0 && is_negative != negative) ++crossings;
    negative = is_negative;
  }
  feature.energy = static_cast<float>(static_cast<double>(energy8) * 65536.0 / length);
  feature.zero_crossings = crossings;
  return feature;
}

// The features of 16-bit samples, in passes that the compiler vectorises: the mean, then per chunk
// the squares and signs of the differences (each difference truncated to 16 bits before squaring, as
// the sample arithmetic of the detector always has), then the squares added in single precision in
// their order (the one sum that must stay sequential) and the sign changes counted.
FrameFeature Measure16(const uint8_t* bytes, int32_t length) {
  constexpr int32_t kChunk = 256;
  const auto sample = [bytes](int32_t i) {
    int16_t value;
    std::memcpy(&value, bytes + size_t(i) * 2, sizeof value);
    return int32_t{value};
  };
  int64_t sum = 0;
  for (int32_t i = 0; i < length; ++i) sum += sample(i);
  const auto mean = static_cast<int32_t>(sum / length);  // integer division, toward zero

  float energy = 0.0f;
  uint16_t crossings = 0;
  bool negative = false;  // the sign of the last difference of the previous chunk
  int32_t squares[kChunk];
  uint8_t negatives[kChunk];
  for (int32_t first = 0; first < length; first += kChunk) {
    const int32_t count = std::min(kChunk, length - first);
    for (int32_t i = 0; i < count; ++i) {
      const auto difference = static_cast<int16_t>(sample(first + i) - mean);
      squares[i] = int32_t{difference} * difference;
      negatives[i] = difference < 0 ? 1 : 0;
    }
    for (int32_t i = 0; i < count; ++i) energy += static_cast<float>(squares[i]);
    int32_t changes = first > 0 && (negatives[0] != 0) != negative ? 1 : 0;
    for (int32_t i = 1; i < count; ++i) changes += negatives[i] != negatives[i - 1] ? 1 : 0;
    crossings = static_cast<uint16_t>(crossings + changes);
    negative = negatives[count - 1] != 0;
  }
  FrameFeature feature;
  feature.energy = energy / static_cast<float>(length);
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
      return Measure8([bytes](int32_t i) { return int32_t{static_cast<int8_t>(bytes[i])}; }, length);
    }
    return Measure8([bytes](int32_t i) { return int32_t{bytes[i]} - 128; }, length);
  }
  return Measure16(layout.data + size_t{first} * 2, length);
}

}  // namespace melvox

// Measuring 10 ms frames of a sound against an estimate of its background noise: the frame energy and
// zero-crossing count, the noise thresholds and the frame classes that endpoint detection and the
// sound analysis share.
#pragma once

#include <cstdint>

#include "analysis/frame_result.h"
#include "sound/wave.h"

namespace melvox {

// The noise estimate and the two thresholds derived from it (energies on the 16-bit sample scale).
struct NoiseThresholds {
  float low_threshold = 0.0f;
  float high_threshold = 0.0f;
  float low_factor = 2.0f;
  float high_factor = 8.0f;
  float noise_level = 0.0f;

  // Sets the noise level and both thresholds (low = 2 x level, high = 8 x level).
  void SetNoiseLevel(float level);
  // kFrameLoud above the high threshold, kFrameWeak above the low one, else kFrameSilence.
  int32_t Classify(float energy) const;
};

// The starting noise level from the energies of a sound's first two frames: the smaller one, clamped
// to 16384 .. 262144.
float InitialNoiseLevel(float energy0, float energy1);

// Where the samples of a mono sound are and how its bytes hold them.
struct SampleLayout {
  const uint8_t* data = nullptr;
  bool eight_bit = false;     // one byte per sample, else 16-bit signed little-endian
  bool signed_bytes = false;  // 8-bit samples already turned signed (SampleKind::kSigned)
};

SampleLayout LayoutOf(const CWave& wave);

// Mono samples that a wave's block really holds: its sample count, but never more than the block has
// room for (a wave's count can claim more, and a multi-channel block holds fewer frames).
uint32_t UsableSampleCount(const CWave& wave);

// Energy and zero crossings of `length` (> 0) samples from sample `first`; position and class are
// left for the caller. 8-bit sounds are measured in signed form and their energy scaled by 65536 onto
// the 16-bit scale. The caller guarantees that the samples exist.
FrameFeature MeasureFrame(const SampleLayout& layout, uint32_t first, int32_t length);

}  // namespace melvox

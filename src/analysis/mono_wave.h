// The copy of a CWave that the analyses read: one channel, and 8-bit samples in signed form.
#pragma once

#include <memory>

#include "sound/wave.h"

namespace melvox {

// How MonoCopy writes 8-bit samples.
enum class ByteSamples {
  kAsGiven,  // as the wave holds them (signed for SampleKind::kSigned, else unsigned), with the wave's sample kind
  kSigned,   // signed, with SampleKind::kSigned: the form the analyses read
};

// A new mono wave whose every sample is the mean of the channels of one frame of `wave` (truncated
// toward zero), with the same rate, bits and selection; its format is PCM with one channel. Only the
// frames that the block really holds are copied. The wave itself is only read, so several threads may
// copy one wave at once.
std::unique_ptr<CWave> MonoCopy(const CWave& wave, ByteSamples bytes = ByteSamples::kAsGiven);

}  // namespace melvox

// A mono version of a multi-channel CWave, for the analyses, which read one channel.
#pragma once

#include <memory>

#include "sound/wave.h"

namespace melvox {

// A new mono wave whose every sample is the mean of the channels of one frame of `wave` (truncated
// toward zero), with the same rate, bits, sample kind and selection; its format is PCM with one
// channel. Only the frames that the block really holds are copied.
std::unique_ptr<CWave> MonoCopy(const CWave& wave);

}  // namespace melvox

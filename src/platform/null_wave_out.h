// The null output device: consumes written frames at the format's real-time rate and discards them.
// Used when no sound server answers, so hosts and the command-line tool still run without sound.
#pragma once

#include <memory>

#include "platform/wave_out.h"

namespace melvox::platform {

std::shared_ptr<WaveOutSystem> MakeNullWaveOut();

}  // namespace melvox::platform

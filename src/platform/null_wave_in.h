// The null input device: delivers silence at the format's real-time rate. Used when no sound server
// answers, so hosts and the command-line tool still record (nothing) without a sound card.
#pragma once

#include <memory>

#include "platform/wave_in.h"

namespace melvox::platform {

std::shared_ptr<WaveInSystem> MakeNullWaveIn();

}  // namespace melvox::platform

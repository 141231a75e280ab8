// The null input device: delivers silence at the format's real-time rate. Never chosen automatically:
// only put in use (UseWaveBackend("null")), as the command line does for --device null and when no
// sound server answers.
#pragma once

#include <memory>

#include "platform/wave_in.h"

namespace melvox::platform {

std::shared_ptr<WaveInSystem> MakeNullWaveIn();

}  // namespace melvox::platform

// The null output device: consumes written frames at the format's real-time rate and discards them.
// Never chosen automatically: only put in use (UseWaveBackend("null")), as the command line does for
// --device null and when no sound server answers.
#pragma once

#include <memory>

#include "platform/wave_out.h"

namespace melvox::platform {

std::shared_ptr<WaveOutSystem> MakeNullWaveOut();

}  // namespace melvox::platform

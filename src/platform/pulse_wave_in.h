// The PulseAudio input device (also served by PipeWire's PulseAudio server): a record stream of the
// default source, through the process's one shared server connection.
#pragma once

#include <memory>

#include "platform/wave_in.h"

namespace melvox::platform {

// The PulseAudio input backend, or null when no server answers (a server is never started for us).
std::shared_ptr<WaveInSystem> MakePulseAudioWaveIn();

}  // namespace melvox::platform

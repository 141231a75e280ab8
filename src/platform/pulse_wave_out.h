// The PulseAudio output device (also served by PipeWire's PulseAudio server), through libpulse's
// threaded main loop and the process's one shared server connection.
#pragma once

#include <memory>

#include "platform/wave_out.h"

namespace melvox::platform {

// The PulseAudio backend, or null when no server answers (a server is never started for us).
std::shared_ptr<WaveOutSystem> MakePulseAudioWaveOut();

}  // namespace melvox::platform

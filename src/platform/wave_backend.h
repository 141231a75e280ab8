// Which backend the wave devices open on. Each direction has its system in use (CurrentWaveOutSystem
// and SetWaveOutSystem in wave_out.h, CurrentWaveInSystem and SetWaveInSystem in wave_in.h); a backend
// named here puts its systems for both directions in use at once.
#pragma once

#include <string>

#include "platform/wave_out.h"

namespace melvox::platform {

// Makes the output and input systems of the backend named name and puts both in use: "pulse"
// (PulseAudio, when a server answers within 3 s), "null" (the null devices: silence at real time) or
// "test" (the test devices at real time). MMSYSERR_NODRIVER when no server answers for "pulse",
// MMSYSERR_BADDEVICEID for any other name; then the systems in use stay as they were.
//
// Threading: may be called from any thread; devices already open keep their backend.
MMRESULT UseWaveBackend(const std::string& name);

}  // namespace melvox::platform

// What `melvox info` prints about a sound, shared with the demo.
#pragma once

#include <cstdio>

#include "melvox/analysis.h"

namespace melvox::cli {

// Lines "format: pcm|adpcm|ogg", "rate: N", "channels: N", "bits: N" (bits per sample delivered),
// "frames: N" and "duration_ms: N" (frames x 1000 / rate, truncated).
void PrintSoundInfo(const SoundInfo& info, std::FILE* out, const char* indent = "");

}  // namespace melvox::cli

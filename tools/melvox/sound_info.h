// What `melvox info` prints about an opened sound, shared with the demo.
#pragma once

#include <cstdio>

#include "sound/counted_ptr.h"
#include "sound/sound_node.h"

namespace melvox::cli {

// Lines "format: pcm|adpcm|ogg", "rate: N", "channels: N", "bits: N" (bits per sample delivered),
// "frames: N" and "duration_ms: N" (frames x 1000 / rate, truncated).
void PrintSoundInfo(CSoundSource& source, std::FILE* out, const char* indent = "");

}  // namespace melvox::cli

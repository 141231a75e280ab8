// melvox info FILE
#include <cstdio>

#include "cli.h"
#include "melvox/analysis.h"
#include "sound_info.h"

namespace melvox::cli {
namespace {

int RunInfo(const ParsedArgs& args) {
  PrintSoundInfo(GetSoundInfo(args.Positional()[0]), stdout);
  return 0;
}

const bool registered = RegisterCommand({
    "info",
    "FILE",
    "show the format and length of a sound file",
    "Opens FILE as the player would (WAV with mono PCM or IMA ADPCM samples, or Ogg Vorbis) and prints\n"
    "one line each: format (pcm, adpcm or ogg), rate (Hz), channels, bits (bits per sample as delivered:\n"
    "16 for IMA ADPCM and Ogg Vorbis), frames and duration_ms.",
    {},
    1,
    1,
    10,
    RunInfo,
});

}  // namespace
}  // namespace melvox::cli

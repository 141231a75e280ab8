// melvox stretch IN OUT.wav [--level L]
#include <cstdio>

#include "cli.h"
#include "melvox/analysis.h"

namespace melvox::cli {
namespace {

// The player's default slow-down: 1.1 times as long.
constexpr long kDefaultLevel = -10;

void PrintLength(const char* name, int64_t frames, uint32_t rate) {
  std::printf("%s_frames: %lld\n", name, static_cast<long long>(frames));
  std::printf("%s_ms: %lld\n", name, static_cast<long long>(rate != 0 ? frames * 1000 / rate : 0));
}

int RunStretch(const ParsedArgs& args) {
  const auto level = static_cast<int32_t>(args.IntValue("--level", kDefaultLevel, -200, -1));
  const SoundInfo info = GetSoundInfo(args.Positional()[0]);
  const int64_t output_frames = WriteSlowedSound(args.Positional()[0], args.Positional()[1].c_str(), level);
  PrintLength("input", info.frames, info.rate);
  PrintLength("output", output_frames, info.rate);
  return 0;
}

const bool registered = RegisterCommand({
    "stretch",
    "IN OUT.wav [--level L]",
    "write the slowed version of a sound file",
    "Makes the slowed version of IN that the player plays (the same speech, longer, at the same\n"
    "pitch: whole pitch periods are repeated) and writes it to OUT.wav as PCM with IN's rate, bits and\n"
    "channels. The result lasts (100 - L) / 100 times as long as IN. Prints input_frames, input_ms,\n"
    "output_frames and output_ms (ms truncated). Sounds of 8000 to 96000 Hz can be slowed. OUT.wav may\n"
    "be IN: it is replaced only by the whole new file (nothing changes when writing fails).",
    {
        {"--level", "L", "slow-down level, -200 to -1 (default -10, the player's: 1.1 times; -100: twice)"},
    },
    2,
    2,
    30,
    RunStretch,
});

}  // namespace
}  // namespace melvox::cli

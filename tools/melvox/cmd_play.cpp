// melvox play FILE [--slowed] [--level L] [--selection] [--device pulse|null]
#include <cstdio>
#include <memory>
#include <string>

#include "audio/sound_player.h"
#include "cli.h"
#include "device_choice.h"
#include "interrupt.h"
#include "play_follow.h"

namespace melvox::cli {
namespace {

// The player holds the level within this range; the option takes every level the time stretcher
// takes (-200..-1), as the other commands with --level do.
constexpr long kPlayerMildest = -10;
constexpr long kPlayerStrongest = -100;

int RunPlay(const ParsedArgs& args) {
  const std::string device = DeviceOption(args);
  const long level = args.IntValue("--level", kPlayerMildest, -200, -1);
  UseDevices(device, DeviceFailure::kMessageBox);

  CSoundPlayer& player = ProcessPlayer();
  // Before Load, so that the slowed version is prepared once, at this level.
  player.SetSlowdown(static_cast<int32_t>(level));
  if (level > kPlayerMildest || level < kPlayerStrongest) {
    std::printf("level: %ld is held at %ld (the player keeps -100 to -10)\n", level,
                level > kPlayerMildest ? kPlayerMildest : kPlayerStrongest);
  }
  player.Load(args.Positional()[0].c_str(), args.Has("--selection") ? 1 : 0);

  const InterruptScope interrupt;
  const PlayEnd end = PlayAndFollow(player, args.Has("--slowed"), "", [] { return InterruptScope::Interrupted(); });
  // A lost device: the player's message said why (once); the position line says how far it got.
  if (end == PlayEnd::kDeviceLost) return 1;
  return end == PlayEnd::kPlayedOut ? 0 : InterruptScope::ExitStatus();
}

const bool registered = RegisterCommand({
    "play",
    "FILE [--slowed] [--level L] [--selection] [--device pulse|null]",
    "play a sound file, unchanged or slowed",
    "Loads FILE into the player and plays it to its end. Prints 'device: NAME' (pulse, or null when no\n"
    "sound server answers: the null device plays silently in real time), then the line\n"
    "'position: ELAPSED s / TOTAL s', updated in place on a terminal and printed once at the end\n"
    "otherwise. Ctrl-C stops playback and exits with status 130.",
    {
        {"--slowed", nullptr, "play the slowed version (longer by whole pitch periods, same pitch)"},
        {"--level", "L", "slow-down level from -200 to -1 (default -10); the player holds it within -100..-10"},
        {"--selection", nullptr, "play only the useful part: from the detected start to the detected end"},
        {"--device", "NAME", "pulse or null instead of the automatic choice (PulseAudio when a server answers)"},
    },
    1,
    1,
    60,
    RunPlay,
});

}  // namespace
}  // namespace melvox::cli

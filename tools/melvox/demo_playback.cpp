// Demo step: the sample played through the player, its useful part unchanged and then slowed.
#include <cstdio>
#include <cstring>

#include "audio/sound_player.h"
#include "demo.h"
#include "melvox/errors.h"
#include "play_follow.h"

namespace melvox::cli {
namespace {

// Half as long again: clearly slower, and the whole step stays within a few seconds of sound.
constexpr int32_t kDemoLevel = -50;

void ShowPlayback(DemoContext& context) {
  CSoundPlayer& player = ProcessPlayer();
  auto never = [] { return false; };
  try {
    player.SetSlowdown(kDemoLevel);
    player.Load(context.sample_path.c_str(), 1);
    std::printf("  the useful part of the sample, as it is (%d ms in all in the file):\n", player.GetDuration());
    PlayAndFollow(player, false, "    ", never);
    if (std::strcmp(player.DeviceName(), "null") == 0) {
      std::printf("  (no sound server answers: the null device plays silently, in real time)\n");
    }
    std::printf("  the same part slowed at level %d (1.5 times as long, same pitch):\n", kDemoLevel);
    PlayAndFollow(player, true, "    ", never);
  } catch (const CMsgException& error) {
    // The other steps do not need sound.
    std::printf("  playback failed: %s\n", error.what());
  }
}

const bool registered = RegisterDemoStep({50, "Playback, original then slowed (melvox play)", ShowPlayback});

}  // namespace
}  // namespace melvox::cli

// Playing through the process's player and following it on the terminal: shared by `melvox play` and
// the demo.
#pragma once

#include <functional>

#include "audio/sound_player.h"

namespace melvox::cli {

// How a followed playback ended.
enum class PlayEnd { kPlayedOut, kStopped, kDeviceLost };

// Plays the loaded file's original or slowed version through player and waits until it has played
// out, or until should_stop (asked every 100 ms) says so, when it stops the player. Prints, each line
// after indent, "device: NAME" (the backend the player's device opened with) once playback has
// started, then "position: ELAPSED s / TOTAL s" (seconds of the range played, two decimals): on a
// terminal updated in place every 100 ms, otherwise once at the end. When the device is lost (its
// message shown once by the player) the position is the last one the device gave. Throws
// CMsgException as the player does.
PlayEnd PlayAndFollow(CSoundPlayer& player, bool slowed, const char* indent, const std::function<bool()>& should_stop);

}  // namespace melvox::cli

// melvox endpoints FILE
#include <cstdio>

#include "cli.h"
#include "melvox/analysis.h"

namespace melvox::cli {
namespace {

int RunEndpoints(const ParsedArgs& args) {
  const SoundEndpoints part = FindSoundEndpoints(args.Positional()[0]);
  if (part.found) {
    std::printf("%d %d\n", part.first_sample, part.last_sample);
  } else {
    std::printf("none\n");
  }
  return 0;
}

const bool registered = RegisterCommand({
    "endpoints",
    "FILE",
    "find where the sound proper starts and ends",
    "Opens FILE, finds the start and end of its useful part as the player does (leading and trailing\n"
    "background noise left out) and prints one line 'START END': the first and last sample of that\n"
    "part, counted from 0. Prints 'none' when the sound is shorter than 50 ms or has no run of 60 ms\n"
    "clearly louder than its background.",
    {},
    1,
    1,
    20,
    RunEndpoints,
});

}  // namespace
}  // namespace melvox::cli

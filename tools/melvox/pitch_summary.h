// Reading a sound file for the analysis commands, and the pitch summary that `melvox pitch` and the
// demo print.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sound/wave.h"

namespace melvox::cli {

// The whole sound of a file, decoded as the player would open it (CMVException on failure).
std::unique_ptr<CWave> LoadWave(const std::string& path);

struct PitchSummary {
  size_t steps = 0;         // 10 ms steps
  size_t voiced_steps = 0;  // steps with a pitch
  int median_hz = 0;        // of the voiced steps (the lower middle value for an even count); 0 if none
  int lowest_hz = 0;
  int highest_hz = 0;
};

PitchSummary SummarizePitch(const std::vector<int16_t>& contour);

// Lines "steps: N", "voiced_steps: N", "voiced_percent: P" (one decimal), "median_hz: N",
// "lowest_hz: N", "highest_hz: N", each after indent.
void PrintPitchSummary(const PitchSummary& summary, std::FILE* out, const char* indent = "");

}  // namespace melvox::cli

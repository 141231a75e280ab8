// melvox pitch FILE [--csv] [--detect]
#include <algorithm>
#include <cstdio>

#include "cli.h"
#include "melvox/analysis.h"
#include "pitch_summary.h"

namespace melvox::cli {
namespace {

int RunPitch(const ParsedArgs& args) {
  const std::string& path = args.Positional()[0];
  const StepAnalysis analysis = AnalyzeSteps(path, args.Has("--detect"));
  std::vector<int16_t> contour;
  for (const AnalysisStep& step : analysis.steps) contour.push_back(static_cast<int16_t>(step.pitch_hz));
  if (args.Has("--csv")) {
    // The contour covers the whole file, one row per step of its 10 ms grid (the last one partial);
    // steps outside the analysed part are 0.
    const SoundInfo info = GetSoundInfo(path);
    const int64_t hop = info.rate / 100;
    const int64_t rows = hop > 0 ? (info.frames - 1) / hop + 1 : 0;
    std::vector<int16_t> whole(static_cast<size_t>(std::max<int64_t>(rows, 0)), 0);
    for (const AnalysisStep& step : analysis.steps) {
      const auto row = static_cast<size_t>(step.time_ms / 10);
      if (row < whole.size()) whole[row] = static_cast<int16_t>(step.pitch_hz);
    }
    std::printf("time_s,f0_hz\n");
    for (size_t i = 0; i < whole.size(); ++i) std::printf("%zu.%02zu,%d\n", i / 100, i % 100, whole[i]);
  } else {
    PrintPitchSummary(SummarizePitch(contour), stdout);
  }
  return 0;
}

const bool registered = RegisterCommand({
    "pitch",
    "FILE [--csv] [--detect]",
    "show the pitch contour of a sound file",
    "Analyses FILE on a grid of 10 ms steps (8 or 16 bits per sample, 8000 to 96000 Hz; other\n"
    "formats end with 'Unsupported wave format') and prints a summary of the smoothed pitch contour of\n"
    "the analysed part: steps, voiced_steps, voiced_percent, median_hz, lowest_hz and highest_hz (the\n"
    "last three over the voiced steps, 0 when there are none). Pitches are searched from 60 to 440 Hz.",
    {
        {"--csv", nullptr, "print the contour instead: 'time_s,f0_hz', then a row per 10 ms step (0 = unvoiced)"},
        {"--detect", nullptr, "analyse only the part that 'melvox endpoints' finds (steps outside it are 0)"},
    },
    1,
    1,
    21,
    RunPitch,
});

}  // namespace
}  // namespace melvox::cli

// melvox pitch FILE [--csv] [--detect]
#include <cstdio>

#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "cli.h"
#include "pitch_summary.h"

namespace melvox::cli {
namespace {

int RunPitch(const ParsedArgs& args) {
  std::unique_ptr<CWave> wave = LoadWave(args.Positional()[0]);
  if (args.Has("--detect")) DetectEndpoints(*wave);
  const CSoundAnalysis analysis(wave.get(), 0, StepMeasures::kWithoutSpectrum);
  if (args.Has("--csv")) {
    // The contour covers the whole file; steps outside the analysed part are 0.
    const std::vector<int16_t> contour = analysis.GetPitchContour(0, static_cast<int32_t>(analysis.Length()) - 1);
    std::printf("time_s,f0_hz\n");
    for (size_t i = 0; i < contour.size(); ++i) std::printf("%zu.%02zu,%d\n", i / 100, i % 100, contour[i]);
  } else {
    PrintPitchSummary(SummarizePitch(analysis.GetPitchContour(analysis.SelectionStart(), analysis.SelectionEnd())),
                      stdout);
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

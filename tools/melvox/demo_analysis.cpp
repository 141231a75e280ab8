// Demo step: where the sample's sound starts and ends, and a summary of its pitch.
#include <cstdio>

#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "demo.h"
#include "pitch_summary.h"

namespace melvox::cli {
namespace {

void ShowAnalysis(DemoContext& context) {
  std::unique_ptr<CWave> wave = LoadWave(context.sample_path);
  const uint32_t rate = wave->Format().nSamplesPerSec;
  if (DetectEndpoints(*wave)) {
    const int32_t start = wave->SelectionStart();
    const int32_t end = wave->SelectionEnd();
    std::printf("  endpoints: samples %d to %d, %.1f ms to %.1f ms (melvox endpoints)\n", start, end,
                1000.0 * start / rate, 1000.0 * (end + 1) / rate);
  } else {
    std::printf("  endpoints: none found; the whole sound is analysed\n");
  }
  const CSoundAnalysis analysis(wave.get(), 0);
  std::printf("  pitch of that part (melvox pitch --detect):\n");
  PrintPitchSummary(SummarizePitch(analysis.GetPitchContour(analysis.SelectionStart(), analysis.SelectionEnd())),
                    stdout, "    ");
}

const bool registered = RegisterDemoStep({20, "Start, end and pitch (melvox endpoints, melvox pitch)", ShowAnalysis});

}  // namespace
}  // namespace melvox::cli

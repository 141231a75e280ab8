#include "pitch_summary.h"

#include <algorithm>

#include "core/mv_exception.h"
#include "sound/open_sound_file.h"

namespace melvox::cli {

std::unique_ptr<CWave> LoadWave(const std::string& path) {
  CountedPtr<CSoundSource> source = OpenSoundFile(path.c_str());
  std::unique_ptr<CWave> wave = source->GetWave();
  if (!wave) throw CMVException(kErrIncorrectWaveFormat);
  return wave;
}

PitchSummary SummarizePitch(const std::vector<int16_t>& contour) {
  PitchSummary summary;
  summary.steps = contour.size();
  std::vector<int16_t> voiced;
  for (const int16_t pitch : contour) {
    if (pitch != 0) voiced.push_back(pitch);
  }
  summary.voiced_steps = voiced.size();
  if (voiced.empty()) return summary;
  std::sort(voiced.begin(), voiced.end());
  summary.median_hz = voiced[(voiced.size() - 1) / 2];
  summary.lowest_hz = voiced.front();
  summary.highest_hz = voiced.back();
  return summary;
}

void PrintPitchSummary(const PitchSummary& summary, std::FILE* out, const char* indent) {
  const double percent = summary.steps == 0 ? 0.0 : 100.0 * static_cast<double>(summary.voiced_steps) / summary.steps;
  std::fprintf(out, "%ssteps: %zu\n", indent, summary.steps);
  std::fprintf(out, "%svoiced_steps: %zu\n", indent, summary.voiced_steps);
  std::fprintf(out, "%svoiced_percent: %.1f\n", indent, percent);
  std::fprintf(out, "%smedian_hz: %d\n", indent, summary.median_hz);
  std::fprintf(out, "%slowest_hz: %d\n", indent, summary.lowest_hz);
  std::fprintf(out, "%shighest_hz: %d\n", indent, summary.highest_hz);
}

}  // namespace melvox::cli

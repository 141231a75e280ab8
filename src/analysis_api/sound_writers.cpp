// WriteSlowedSound and WriteGraphSound of include/melvox/analysis.h.
#include <memory>

#include "analysis/endpoint_detector.h"
#include "analysis/slowed_sound.h"
#include "analysis/sound_analysis.h"
#include "analysis_api/graph_sound.h"
#include "analysis_api/sound_input.h"
#include "core/public_call.h"
#include "melvox/analysis.h"
#include "sound/wave_writer.h"
#include "spectral/spectral_analysis.h"

namespace melvox {

int64_t WriteSlowedSound(const SoundInput& sound, const char* out_path, int32_t level) {
  return GuardPublicCall([&] {
    if (level < -200 || level > -1) throw CMsgException("The slow-down level must lie within -200..-1.");
    CountedPtr<CSoundSource> source = OpenSoundInput(sound);
    std::unique_ptr<CWave> wave = MakeSlowedWave(*source, level);
    if (!wave) throw CMsgException("The sound has no slowed version: the analysis takes 8000 to 96000 Hz.");
    WriteWaveFile(out_path != nullptr ? out_path : "", *wave);
    return static_cast<int64_t>(wave->SampleCount());
  });
}

void WriteGraphSound(const SoundInput& sound, GraphSoundKind kind, const char* out_path, bool detect_part) {
  GuardPublicCall([&] {
    std::unique_ptr<CWave> wave = LoadSoundInput(sound);
    if (detect_part) DetectEndpoints(*wave);
    const CSoundAnalysis analysis(wave.get(), 0);
    const std::unique_ptr<CWave> made = MakeGraphSound(kind, CSpectralAnalysis(analysis), *wave);
    WriteWaveFile(out_path != nullptr ? out_path : "", *made);
  });
}

}  // namespace melvox

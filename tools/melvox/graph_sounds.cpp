#include "graph_sounds.h"

#include "analysis/fricative_sound.h"
#include "analysis/pitch_tone.h"
#include "analysis/slowed_sound.h"
#include "cli.h"
#include "melvox/errors.h"
#include "sound/open_sound_file.h"
#include "sound/wave_writer.h"
#include "spectral/track_resynthesis.h"

namespace melvox::cli {

GraphSound ParseGraphSound(const std::string& name) {
  if (name == "tone") return GraphSound::kTone;
  if (name == "fricative") return GraphSound::kFricative;
  if (name == "resynthesis") return GraphSound::kResynthesis;
  throw UsageError("--sound must be tone, fricative or resynthesis (got '" + name + "')");
}

std::unique_ptr<CWave> MakeGraphSound(GraphSound kind, const CSpectralAnalysis& spectral, const CWave& wave) {
  const CSoundAnalysis& analysis = spectral.Analysis();
  std::unique_ptr<CWave> sound;
  const char* missing = nullptr;
  switch (kind) {
    case GraphSound::kTone:
      sound = MakePitchTone(analysis);
      missing = "The pitch tone is too long to make.";
      break;
    case GraphSound::kFricative:
      sound = MakeFricativeSound(analysis, wave);
      missing = "The sound is too short to analyse: it has no fricative sound.";
      break;
    case GraphSound::kResynthesis:
      sound = ResynthesizeTracks(spectral);
      missing = "The sound has no spectral peak tracks to resynthesize.";
      break;
  }
  if (!sound) throw CMsgException(missing);
  return sound;
}

SlowedLengths WriteSlowedCopy(const std::string& in_path, const std::string& out_path, int32_t level) {
  CountedPtr<CSoundSource> source = OpenSoundFile(in_path.c_str());
  WAVEFORMATEX format;
  source->GetFormat(format);
  SlowedLengths lengths;
  lengths.rate = format.nSamplesPerSec;
  lengths.input_frames = source->GetLength();
  std::unique_ptr<CWave> wave = MakeSlowedWave(*source, level);
  if (!wave) throw CMsgException("The sound has no slowed version: the analysis takes 8000 to 96000 Hz.");
  lengths.output_frames = wave->SampleCount();
  WriteWaveFile(out_path.c_str(), *wave);
  return lengths;
}

}  // namespace melvox::cli

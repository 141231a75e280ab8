// Demo step: a slowed copy of the sample, and the sounds that the pitch, crossing and spectrum graphs
// play instead of it.
#include <cstdio>

#include "analysis/sound_analysis.h"
#include "demo.h"
#include "graph_sounds.h"
#include "pitch_summary.h"
#include "sound/wave_writer.h"
#include "spectral/spectral_analysis.h"

namespace melvox::cli {
namespace {

// Half as long again: slow enough to hear at once that the pitch stays where it was (the player's
// default, -10, is a subtler 1.1 times).
constexpr int32_t kDemoLevel = -50;

void ShowSlowedAndRendered(DemoContext& context) {
  const std::string slowed_path = context.folder + "/sample_slowed.wav";
  const SlowedLengths lengths = WriteSlowedCopy(context.sample_path, slowed_path, kDemoLevel);
  const auto ms = [&](int64_t frames) { return static_cast<long long>(frames * 1000 / lengths.rate); };
  std::printf("  slowed at level %d (melvox stretch --level %d): %lld ms -> %lld ms, written to %s\n", kDemoLevel,
              kDemoLevel, ms(lengths.input_frames), ms(lengths.output_frames), slowed_path.c_str());

  std::unique_ptr<CWave> wave = LoadWave(context.sample_path);
  const CSoundAnalysis analysis(wave.get(), 0);
  const CSpectralAnalysis spectral(analysis);
  const struct {
    GraphSound kind;
    const char* name;
    const char* what;
  } sounds[] = {
      {GraphSound::kTone, "tone", "the pitch graph's tone"},
      {GraphSound::kFricative, "fricative", "the crossing graph's fricative parts"},
      {GraphSound::kResynthesis, "resynthesis", "the spectrum graph's peak-track tones"},
  };
  for (const auto& sound : sounds) {
    const std::string path = context.folder + "/sample_" + sound.name + ".wav";
    WriteWaveFile(path.c_str(), *MakeGraphSound(sound.kind, spectral, *wave));
    std::printf("  %s (melvox render --sound %s): %s\n", sound.what, sound.name, path.c_str());
  }
}

const bool registered =
    RegisterDemoStep({30, "Slowed copy and the graphs' sounds (melvox stretch, melvox render)", ShowSlowedAndRendered});

}  // namespace
}  // namespace melvox::cli

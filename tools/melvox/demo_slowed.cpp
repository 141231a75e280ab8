// Demo step: a slowed copy of the sample, and the sounds that the pitch, crossing and spectrum graphs
// play instead of it.
#include <cstdio>

#include "demo.h"
#include "melvox/analysis.h"

namespace melvox::cli {
namespace {

// Half as long again: slow enough to hear at once that the pitch stays where it was (the player's
// default, -10, is a subtler 1.1 times).
constexpr int32_t kDemoLevel = -50;

void ShowSlowedAndRendered(DemoContext& context) {
  const std::string slowed_path = context.folder + "/sample_slowed.wav";
  const SoundInfo info = GetSoundInfo(context.sample_path);
  const int64_t output_frames = WriteSlowedSound(context.sample_path, slowed_path.c_str(), kDemoLevel);
  const auto ms = [&](int64_t frames) { return static_cast<long long>(frames * 1000 / info.rate); };
  std::printf("  slowed at level %d (melvox stretch --level %d): %lld ms -> %lld ms, written to %s\n", kDemoLevel,
              kDemoLevel, ms(info.frames), ms(output_frames), slowed_path.c_str());

  const struct {
    GraphSoundKind kind;
    const char* name;
    const char* what;
  } sounds[] = {
      {GraphSoundKind::kTone, "tone", "the pitch graph's tone"},
      {GraphSoundKind::kFricative, "fricative", "the crossing graph's fricative parts"},
      {GraphSoundKind::kResynthesis, "resynthesis", "the spectrum graph's peak-track tones"},
  };
  for (const auto& sound : sounds) {
    const std::string path = context.folder + "/sample_" + sound.name + ".wav";
    WriteGraphSound(context.sample_path, sound.kind, path.c_str(), false);
    std::printf("  %s (melvox render --sound %s): %s\n", sound.what, sound.name, path.c_str());
  }
}

const bool registered =
    RegisterDemoStep({30, "Slowed copy and the graphs' sounds (melvox stretch, melvox render)", ShowSlowedAndRendered});

}  // namespace
}  // namespace melvox::cli

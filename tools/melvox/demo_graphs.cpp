// Demo step: the four graphs of the sample, of its slowed version and of the learner's attempt, drawn
// as the graph windows draw them, written to PNG pictures.
#include <cstdio>

#include "analysis/slowed_sound.h"
#include "demo.h"
#include "graph/graph_picture.h"
#include "platform/png_file.h"
#include "sound/open_sound_file.h"

namespace melvox::cli {
namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 150;

void Draw(CSoundNode* sound, const std::string& path, const char* what, const std::string& command) {
  platform::WritePng(path, DrawGraphPicture(sound, 15, kWidth, kHeight, 1));
  std::printf("  %s (melvox graph %s --detect): %s\n", what, command.c_str(), path.c_str());
}

void ShowGraphs(DemoContext& context) {
  CountedPtr<CSoundSource> sample = OpenSoundFile(context.sample_path.c_str());
  Draw(sample.Get(), context.folder + "/graphs.png", "the sample", context.sample_path);
  if (CountedPtr<CSoundSource> slowed = PrepareSlowed(*sample, -10)) {
    Draw(slowed.Get(), context.folder + "/graphs_slowed.png", "its slowed version", context.sample_path + " --slowed");
  }
  if (!context.attempt_path.empty()) {
    CountedPtr<CSoundSource> attempt = OpenSoundFile(context.attempt_path.c_str());
    Draw(attempt.Get(), context.folder + "/graphs_attempt.png", "the attempt", context.attempt_path);
  }
  std::printf(
      "  top to bottom: loudness (envelope), pitch contour, hissing parts (zero crossings), and where\n"
      "  the tonal peaks lie in the spectrum (blue low, green middle, red high)\n");
}

const bool registered = RegisterDemoStep({45, "Graphs of the sample and the attempt (melvox graph)", ShowGraphs});

}  // namespace
}  // namespace melvox::cli

// Demo step: the four graphs of the sample and of its slowed version, drawn as the graph windows draw
// them, written to PNG pictures.
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

void ShowGraphs(DemoContext& context) {
  CountedPtr<CSoundSource> sound = OpenSoundFile(context.sample_path.c_str());
  CountedPtr<CSoundSource> slowed = PrepareSlowed(*sound, -10);
  const struct {
    CSoundNode* sound;
    const char* file;
    const char* what;
    const char* command;
  } pictures[] = {
      {sound.Get(), "graphs.png", "the sample", ""},
      {slowed.Get(), "graphs_slowed.png", "its slowed version", " --slowed"},
  };
  for (const auto& picture : pictures) {
    if (picture.sound == nullptr) continue;
    const std::string path = context.folder + "/" + picture.file;
    platform::WritePng(path, DrawGraphPicture(picture.sound, 15, kWidth, kHeight, 1));
    std::printf("  %s (melvox graph --detect%s): %s\n", picture.what, picture.command, path.c_str());
  }
  std::printf(
      "  top to bottom: loudness (envelope), pitch contour, hissing parts (zero crossings), and where\n"
      "  the tonal peaks lie in the spectrum (blue low, green middle, red high)\n");
}

const bool registered = RegisterDemoStep({35, "Graphs of the sample (melvox graph)", ShowGraphs});

}  // namespace
}  // namespace melvox::cli

// Demo step: the sample's format and length, as `melvox info` shows them.
#include <cstdio>

#include "demo.h"
#include "sound/open_sound_file.h"
#include "sound_info.h"

namespace melvox::cli {
namespace {

void ShowInfo(DemoContext& context) {
  CountedPtr<CSoundSource> source = OpenSoundFile(context.sample_path.c_str());
  PrintSoundInfo(*source, stdout, "  ");
}

const bool registered = RegisterDemoStep({10, "Sound file (melvox info)", ShowInfo});

}  // namespace
}  // namespace melvox::cli

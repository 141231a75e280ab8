// Demo step: the sample's format and length, as `melvox info` shows them.
#include <cstdio>

#include "demo.h"
#include "melvox/analysis.h"
#include "sound_info.h"

namespace melvox::cli {
namespace {

void ShowInfo(DemoContext& context) { PrintSoundInfo(GetSoundInfo(context.sample_path), stdout, "  "); }

const bool registered = RegisterDemoStep({10, "Sound file (melvox info)", ShowInfo});

}  // namespace
}  // namespace melvox::cli

// melvox render IN OUT.wav --sound tone|fricative|resynthesis [--detect]
#include "cli.h"
#include "graph_sounds.h"
#include "melvox/analysis.h"

namespace melvox::cli {
namespace {

int RunRender(const ParsedArgs& args) {
  if (!args.Has("--sound")) throw UsageError("--sound is required (tone, fricative or resynthesis)");
  const GraphSoundKind kind = ParseGraphSound(args.Value("--sound", ""));
  WriteGraphSound(args.Positional()[0], kind, args.Positional()[1].c_str(), args.Has("--detect"));
  return 0;
}

const bool registered = RegisterCommand({
    "render",
    "IN OUT.wav --sound tone|fricative|resynthesis [--detect]",
    "write the sound a graph plays instead of the recording",
    "Analyses IN on the 10 ms grid and writes to OUT.wav the sound that a graph plays when it is\n"
    "clicked: 'tone' (pitch graph) a triangle tone that follows the pitch contour, silent where the\n"
    "sound is unvoiced; 'fricative' (crossing graph) only the loud, noisy steps of IN, 2.5 times\n"
    "louder and faded in and out over 1 ms, silence elsewhere; 'resynthesis' (spectrum graph) one\n"
    "tone per spectral peak track, mixed. The tone and the resynthesis are 44100 Hz 16-bit mono, one\n"
    "10 ms step per 10 ms of IN; the fricative sound has IN's rate and bits, in one channel. A sound\n"
    "without peak tracks has no resynthesis (exit status 1). OUT.wav is replaced only by the whole new\n"
    "file (nothing changes when writing fails).",
    {
        {"--sound", "KIND", "tone, fricative or resynthesis"},
        {"--detect", nullptr, "analyse only the part that 'melvox endpoints' finds, as the graphs do when asked"},
    },
    2,
    2,
    31,
    RunRender,
});

}  // namespace
}  // namespace melvox::cli

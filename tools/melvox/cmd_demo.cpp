// melvox demo: the main job. It makes a sample of speech and runs every registered demo step on it.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "cli.h"
#include "core/mv_exception.h"
#include "demo.h"
#include "device_choice.h"
#include "run_program.h"
#include "samples/speech_like.h"
#include "sound/wave_writer.h"

namespace melvox::cli {
namespace {

constexpr const char* kDefaultText = "The quick brown fox jumps over the lazy dog.";
constexpr uint32_t kGeneratedRate = 22050;

std::vector<DemoStep>& Steps() {
  static std::vector<DemoStep> steps;
  return steps;
}

// A folder that cannot be made fails as a file that cannot be opened, after a line that says why.
void MakeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "melvox demo: cannot create the folder '%s': %s\n", folder.c_str(), std::strerror(errno));
    throw CMVException(kErrCannotOpenFile);
  }
}

// Writes the sample to path: espeak-ng speech when it is installed (and then notes the text in the
// context), else a generated vowel-like phrase. Returns a description of where the sound came from.
std::string MakeSample(const std::string& path, const std::string& text, DemoContext& context) {
  if (ProgramExists("espeak-ng") && RunProgram({"espeak-ng", "-v", "en", "-s", "150", "-w", path, text}) == 0) {
    context.spoken_text = text;
    return "speech from espeak-ng: \"" + text + "\"";
  }
  const auto samples = samples::SpeechLike(kGeneratedRate, samples::DemoPhrase(), samples::Voice{});
  WriteWaveFile(path.c_str(), *samples::MakeWave16(samples, kGeneratedRate));
  return "a generated vowel-like phrase (espeak-ng is not installed)";
}

int RunDemo(const ParsedArgs& args) {
  DemoContext context;
  context.folder = args.Value("--out", "melvox-demo");
  MakeFolder(context.folder);
  context.sample_path = context.folder + "/sample.wav";
  context.record = args.Has("--record");
  context.view = !args.Has("--no-view");
  // The demo plays and records on the null device when no sound server answers, and says so.
  UseDevices("");
  std::printf("Sample: %s\n", MakeSample(context.sample_path, args.Value("--text", kDefaultText), context).c_str());
  std::printf("Written to %s\n", context.sample_path.c_str());

  std::vector<DemoStep> steps = Steps();
  std::stable_sort(steps.begin(), steps.end(), [](const DemoStep& a, const DemoStep& b) { return a.order < b.order; });
  for (const DemoStep& step : steps) {
    std::printf("\n== %s\n", step.title);
    std::fflush(stdout);
    step.run(context);
  }
  return 0;
}

const bool registered = RegisterCommand({
    "demo",
    "[--out DIR] [--text TEXT] [--record] [--no-view]",
    "run the demonstration on a sample of speech",
    "Makes a sample of speech (espeak-ng when it is installed, else a generated vowel-like phrase),\n"
    "writes it to DIR/sample.wav and shows, step by step, what the library does with it. With a\n"
    "display it ends by opening the graphs in a window (melvox view) until you close it.",
    {
        {"--out", "DIR", "folder for the sample and everything made from it (default: melvox-demo)"},
        {"--text", "TEXT", "what espeak-ng says (default: a pangram)"},
        {"--record", nullptr, "record your own attempt at the sample for the comparison (Enter stops it)"},
        {"--no-view", nullptr, "do not open the graphs in a window at the end, even when a display answers"},
    },
    0,
    0,
    0,
    RunDemo,
});

}  // namespace

bool RegisterDemoStep(DemoStep step) {
  Steps().push_back(step);
  return true;
}

}  // namespace melvox::cli

// melvox graph FILE -o OUT.png [--types N] [--size WxH] [--detect] [--slowed] [--level L]
#include <cstdio>
#include <stdexcept>
#include <string>

#include "analysis/frame_analyzer.h"
#include "analysis/slowed_sound.h"
#include "cli.h"
#include "graph/graph_picture.h"
#include "graph/graph_type.h"
#include "melvox/errors.h"
#include "platform/png_file.h"
#include "sound/open_sound_file.h"

namespace melvox::cli {
namespace {

constexpr long kMaxWidth = 10000;
constexpr long kMaxHeight = 2000;

struct Size {
  long width = 800;
  long height = 150;
};

// "WxH" with two whole numbers; a size that no window can show is the library's error (status 1), a
// text that is no size at all a usage error.
Size ParseSize(const std::string& text) {
  Size size;
  char tail = '\0';
  if (std::sscanf(text.c_str(), "%ldx%ld%c", &size.width, &size.height, &tail) != 2) {
    throw UsageError("--size must be WIDTHxHEIGHT in pixels, e.g. 800x150 (got '" + text + "')");
  }
  if (size.width < 1 || size.height < 1 || size.width > kMaxWidth || size.height > kMaxHeight) {
    throw CMsgException(("Cannot draw graphs of " + text + " pixels: each graph must be 1 to " +
                         std::to_string(kMaxWidth) + " pixels wide and 1 to " + std::to_string(kMaxHeight) + " high.")
                            .c_str());
  }
  return size;
}

int RunGraph(const ParsedArgs& args) {
  if (!args.Has("-o")) throw UsageError("-o OUT.png is required");
  const long types = args.IntValue("--types", 15, 1, 15);
  const Size size = ParseSize(args.Value("--size", "800x150"));
  const auto level = static_cast<int32_t>(args.IntValue("--level", -10, -200, -1));
  if (args.Has("--level") && !args.Has("--slowed")) throw UsageError("--level needs --slowed");

  CountedPtr<CSoundSource> sound = OpenSoundFile(args.Positional()[0].c_str());
  // A graph window drops the analysis's refusal and shows an empty graph; here it is the answer.
  WAVEFORMATEX format{};
  sound->GetFormat(format);
  if ((types & ~long{GRAPH_ENVELOPE}) != 0) CheckAnalysisFormat(format);
  if (args.Has("--slowed")) {
    sound = PrepareSlowed(*sound, level);
    if (!sound) throw CMsgException("The sound has no slowed version: the analysis takes 8000 to 96000 Hz.");
  }
  const platform::Bitmap picture =
      DrawGraphPicture(sound.Get(), static_cast<uint32_t>(types), static_cast<int32_t>(size.width),
                       static_cast<int32_t>(size.height), args.Has("--detect") ? 1 : 0);
  try {
    platform::WritePng(args.Value("-o", ""), picture);
  } catch (const std::runtime_error& error) {
    throw CMsgException(error.what());
  }
  return 0;
}

const bool registered = RegisterCommand({
    "graph",
    "FILE -o OUT.png [--types N] [--size WxH] [--detect] [--slowed] [--level L]",
    "draw the graphs of a sound into a PNG picture",
    "Draws the graphs of FILE as the graph windows show them, one above the other in the order\n"
    "envelope, pitch, crossing, spectrum, with one white row between two, and writes the picture to\n"
    "OUT.png (nothing is left at OUT.png when writing fails). The envelope shows the loudness as grey\n"
    "bars about the middle; the pitch graph the pitch contour as a filled curve (its top is the\n"
    "sound's highest pitch); the crossing graph the hissing (fricative) parts; the spectrum graph\n"
    "one bar per column whose colour tells where the tonal peaks lie (blue low, green middle, red\n"
    "high) and whose height tells their strength.\n"
    "Exit status 1 also for a size no window can show (over 10000 x 2000 per graph).",
    {
        {"-o", "OUT.png", "the picture to write (required)"},
        {"--types", "N", "the sum of the graphs to draw: 1 envelope, 2 crossing, 4 pitch, 8 spectrum (default 15)"},
        {"--size", "WxH", "size of each graph in pixels (default 800x150)"},
        {"--detect", nullptr, "show only the part that 'melvox endpoints' finds"},
        {"--slowed", nullptr, "show the slowed version, as the graphs do when the host selects it"},
        {"--level", "L", "slow-down level for --slowed, -200 to -1 (default -10: 1.1 times as long)"},
    },
    1,
    1,
    45,
    RunGraph,
});

}  // namespace
}  // namespace melvox::cli

// `melvox graph`, run as a user would: the picture holds the graphs the graph windows draw, and bad
// input ends in a clear message with nothing written.
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "graph/graph_picture.h"
#include "graph/graph_type.h"
#include "platform/png_file.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

using platform::Bitmap;

constexpr uint32_t kRate = 22050;
constexpr platform::COLORREF kWhite = platform::RGB(255, 255, 255);

// Part of a picture, from row top on.
Bitmap Band(const Bitmap& picture, int32_t top, int32_t width, int32_t height) {
  Bitmap band(width, height);
  platform::Canvas(band).BitBlt(0, 0, width, height, picture, 0, top);
  return band;
}

// What each graph shows of a sound is checked in tests/graph; here that the command stacks the graphs
// in the order envelope, pitch, crossing, spectrum with a white row between two, each as it is drawn
// alone (drawn together they share one analysis), and passes --types, --size and --detect on.
TEST(GraphCommandTest, ThePictureStacksTheGraphsAsEachIsDrawnAlone) {
  TempDir folder;
  const std::string in =
      folder.Write("speech.wav", PcmWav16(samples::SpeechLike(kRate, samples::DemoPhrase(), {}), kRate));
  const std::string out = folder.File("graphs.png");
  const CliResult result = RunCli({"graph", in, "-o", out, "--size", "300x60"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Bitmap picture = platform::ReadPng(out);
  ASSERT_EQ(picture.Width(), 300);
  ASSERT_EQ(picture.Height(), 4 * 60 + 3);
  CountedPtr<CSoundSource> sound = OpenSoundFile(in.c_str());
  for (int32_t g = 0; g < 4; ++g) {
    EXPECT_EQ(Band(picture, g * 61, 300, 60), DrawGraphPicture(sound.Get(), kGraphOrder[g], 300, 60, 0)) << g;
  }
  for (int32_t g = 1; g < 4; ++g) EXPECT_EQ(Band(picture, g * 61 - 1, 300, 1), Bitmap(300, 1, kWhite)) << g;

  const CliResult pitch = RunCli({"graph", in, "-o", out, "--types", "4", "--size", "50x30", "--detect"});
  ASSERT_EQ(pitch.status, 0) << pitch.err;
  EXPECT_EQ(platform::ReadPng(out), DrawGraphPicture(sound.Get(), GRAPH_PITCH, 50, 30, 1));
}

TEST(GraphCommandTest, BadInputEndsInAMessageAndWritesNothing) {
  TempDir folder;
  const std::string in = folder.Write("tone.wav", PcmWav16(samples::Tone(kRate, 200.0f, 300, 8000.0f), kRate));
  const std::string out = folder.File("out.png");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{folder.File("missing.wav"), "-o", out}, 1, "Cannot open file\n"},
      {{in, "-o", out, "--size", "0x150"}, 1, "Cannot draw graphs of 0x150 pixels"},
      {{in, "-o", out, "--size", "10001x10"}, 1, "Cannot draw graphs of 10001x10 pixels"},
      {{in, "-o", out, "--size", "800x2001"}, 1, "each graph must be 1 to 10000 pixels wide and 1 to 2000 high"},
      {{in, "-o", out, "--size", "wide"}, 2, "--size must be WIDTHxHEIGHT"},
      {{in, "-o", out, "--types", "16"}, 2, "--types must be a whole number from 1 to 15"},
      {{in, "-o", out, "--level", "-20"}, 2, "--level needs --slowed"},
      {{in}, 2, "-o OUT.png is required"},
      {{in, "-o", folder.File("no/such/folder/out.png")}, 1, "cannot write"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"graph"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult result = RunCli(args);
    EXPECT_EQ(result.status, c.status) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    struct stat info {};
    EXPECT_NE(::stat(out.c_str(), &info), 0) << c.message;
  }
}

}  // namespace
}  // namespace melvox::testing

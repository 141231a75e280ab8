// `melvox graph`, run as a user would: the picture holds the graphs the graph windows draw (its failures
// are rows of cli_commands_test's table).
#include <string>
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

}  // namespace
}  // namespace melvox::testing

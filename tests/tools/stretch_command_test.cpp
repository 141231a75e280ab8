// `melvox stretch` and `melvox render`, run as a user would.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = 22050;

TEST(StretchCommandTest, WritesTheSlowedFileAndPrintsBothLengths) {
  TempDir folder;
  const auto speech = samples::SpeechLike(kRate, samples::DemoPhrase(), samples::Voice{});
  const std::string in = folder.Write("in.wav", PcmWav16(speech, kRate));
  const std::string out = folder.File("out.wav");
  const CliResult result = RunCli({"stretch", in, out, "--level", "-100"});
  ASSERT_EQ(result.status, 0) << result.err;

  const int64_t frames = OpenSoundFile(out.c_str())->GetLength();
  // Twice as long, to within the 1 % that the carry between 10 ms segments can leave over.
  EXPECT_NEAR(static_cast<double>(frames), 2.0 * speech.size(), 0.01 * 2.0 * speech.size());
  const auto n = static_cast<int64_t>(speech.size());
  EXPECT_EQ(result.out, "input_frames: " + std::to_string(n) + "\ninput_ms: " + std::to_string(n * 1000 / kRate) +
                            "\noutput_frames: " + std::to_string(frames) +
                            "\noutput_ms: " + std::to_string(frames * 1000 / kRate) + "\n");
}

TEST(StretchCommandTest, LevelsOutsideTheRangeAndSoundsWithoutTracksAreRefused) {
  TempDir folder;
  const std::string in = folder.Write("in.wav", PcmWav16(samples::Tone(kRate, 150.0f, 300, 8000.0f), kRate));
  for (const char* level : {"0", "-201", "-10x"}) {
    const CliResult result = RunCli({"stretch", in, folder.File("out.wav"), "--level", level});
    EXPECT_EQ(result.status, 2) << level;
    EXPECT_NE(result.err.find("--level must be a whole number from -200 to -1"), std::string::npos) << result.err;
  }
  // Silence has no spectral peak tracks, so nothing to resynthesize: our own message, exit status 1.
  const std::string quiet = folder.Write("quiet.wav", PcmWav16(std::vector<int16_t>(kRate, 0), kRate));
  const CliResult none = RunCli({"render", quiet, folder.File("r.wav"), "--sound", "resynthesis"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "The sound has no spectral peak tracks to resynthesize.\n");
}

}  // namespace
}  // namespace melvox::testing

#include <vector>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "samples/speech_like.h"
#include "support/ogg_encoder.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

TEST(InfoCommandTest, PrintsFormatAndLengthOfEveryKind) {
  TempDir folder;
  const auto tone = samples::Tone(22050, 300.0f, 1000, 9000.0f);  // 22050 samples
  std::vector<uint8_t> eight(11025, 128);
  struct Case {
    std::string path;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {folder.Write("a.wav", PcmWav16(tone, 22050)),
       "format: pcm\nrate: 22050\nchannels: 1\nbits: 16\nframes: 22050\nduration_ms: 1000\n"},
      {folder.Write("b.wav", PcmWav8(eight, 11025)),
       "format: pcm\nrate: 11025\nchannels: 1\nbits: 8\nframes: 11025\nduration_ms: 1000\n"},
      // 22050 samples in blocks of 505: 44 blocks, 504 frames each.
      {folder.Write("c.wav", AdpcmWav(tone, 22050, 256)),
       "format: adpcm\nrate: 22050\nchannels: 1\nbits: 16\nframes: 22176\nduration_ms: 1005\n"},
      {folder.Write("d.ogg", EncodeOggVorbis(tone, 1, 22050)),
       "format: ogg\nrate: 22050\nchannels: 1\nbits: 16\nframes: 22050\nduration_ms: 1000\n"},
  };
  for (const Case& test : cases) {
    const CliResult result = RunCli({"info", test.path});
    EXPECT_EQ(result.status, 0) << test.path << result.err;
    EXPECT_EQ(result.out, test.expected) << test.path;
  }
}

TEST(InfoCommandTest, LibraryErrorsAndUsageErrorsHaveTheirStatus) {
  TempDir folder;
  const CliResult missing = RunCli({"info", folder.File("missing.wav")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Cannot open file\n");
  EXPECT_EQ(missing.out, "");

  EXPECT_EQ(RunCli({"info"}).status, 2);
  EXPECT_EQ(RunCli({"info", "a.wav", "b.wav"}).status, 2);
  EXPECT_EQ(RunCli({"info", "--bogus", "a.wav"}).status, 2);
  EXPECT_EQ(RunCli({"frobnicate"}).status, 2);
  const CliResult help = RunCli({"info", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: melvox info FILE"), std::string::npos);
}

}  // namespace
}  // namespace melvox::testing

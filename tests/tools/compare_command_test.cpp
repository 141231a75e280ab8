// The output of `melvox compare`, which scripts read: the percentage alone on the last line, and with
// --details the terms before it, one "key: value" line each.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

TEST(CompareCommandTest, PrintsThePercentageLastAndTheTermsBeforeIt) {
  TempDir folder;
  samples::Voice learner;
  learner.pitch_scale = 1.2f;
  const std::string a = folder.Write("a.wav", PcmWav16(samples::SpeechLike(22050, samples::DemoPhrase(), {}), 22050));
  const std::string b =
      folder.Write("b.wav", PcmWav16(samples::SpeechLike(22050, samples::DemoPhrase(), learner), 22050));

  const CliResult plain = RunCli({"compare", a, b});
  EXPECT_EQ(plain.status, 0) << plain.err;
  const CliResult details = RunCli({"compare", a, b, "--details"});
  EXPECT_EQ(details.status, 0) << details.err;
  std::istringstream lines(details.out);
  std::string line;
  for (const char* key : {"compared: yes", "reference_ms: ", "recording_ms: ", "duration_score: ", "sA: ", "sB: ",
                          "sC: ", "reference_notes: 9", "recording_notes: 9"}) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.rfind(key, 0), 0u) << line;
  }
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line + "\n", plain.out);
  EXPECT_FALSE(std::getline(lines, line));

  EXPECT_EQ(RunCli({"compare", a, a}).out, "100\n");
  const CliResult missing = RunCli({"compare", a, folder.File("missing.wav")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Cannot open file\n");
}

}  // namespace
}  // namespace melvox::testing

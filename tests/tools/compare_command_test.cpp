// The output of `melvox compare`, which scripts read: the percentage alone on the last line, the
// terms before it with --details, and the library's own result for the same files.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/endpoint_detector.h"
#include "cli_runner.h"
#include "samples/speech_like.h"
#include "spectral/comparison_score.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

TEST(CompareCommandTest, PrintsThePercentageLastAndTheTermsBeforeIt) {
  TempDir folder;
  samples::Voice learner;
  learner.pitch_scale = 1.2f;
  learner.tempo = 0.9f;
  const auto reference = samples::SpeechLike(22050, samples::DemoPhrase(), {});
  const auto attempt = samples::SpeechLike(22050, samples::DemoPhrase(), learner);
  const std::string a = folder.Write("a.wav", PcmWav16(reference, 22050));
  const std::string b = folder.Write("b.wav", PcmWav16(attempt, 22050));

  // The library's own result for the useful parts of both sounds.
  auto wave_a = samples::MakeWave16(reference, 22050);
  auto wave_b = samples::MakeWave16(attempt, 22050);
  DetectEndpoints(*wave_a);
  DetectEndpoints(*wave_b);
  const CSoundAnalysis analysis_a(wave_a.get(), 0);
  const CSoundAnalysis analysis_b(wave_b.get(), 0);
  const ComparisonTerms terms = CompareAnalysesInDetail(analysis_a, analysis_b);

  const CliResult plain = RunCli({"compare", a, b});
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, std::to_string(ScorePercent(terms.score)) + "\n");

  const CliResult details = RunCli({"compare", a, b, "--details"});
  EXPECT_EQ(details.status, 0) << details.err;
  char expected[512];
  std::snprintf(expected, sizeof expected,
                "compared: yes\nreference_ms: %d\nrecording_ms: %d\nduration_score: %.4f\nsA: %.4f\nsB: %.4f\n"
                "sC: %.4f\nreference_notes: %zu\nrecording_notes: %zu\n%d\n",
                terms.duration_a_ms, terms.duration_b_ms, terms.duration_score, terms.s_a, terms.s_b, terms.s_c,
                terms.notes_a, terms.notes_b, ScorePercent(terms.score));
  EXPECT_EQ(details.out, expected);

  EXPECT_EQ(RunCli({"compare", a, a}).out, "100\n");
  const CliResult missing = RunCli({"compare", a, folder.File("missing.wav")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Cannot open file\n");
  EXPECT_EQ(RunCli({"compare", a}).status, 2);
}

}  // namespace
}  // namespace melvox::testing

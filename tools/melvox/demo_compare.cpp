// Demo step: a learner's attempt at the sample's phrase (another voice, another speed) compared with
// the sample, and for contrast a different phrase of similar length.
#include <cstdio>
#include <string>

#include "comparison_report.h"
#include "demo.h"
#include "run_program.h"
#include "samples/speech_like.h"
#include "sound/wave_writer.h"

namespace melvox::cli {
namespace {

constexpr const char* kOtherText = "Five boxing wizards jump quickly over my big sofa.";
constexpr uint32_t kGeneratedRate = 22050;

// Says text into path with espeak-ng; true when it worked.
bool Speak(const std::string& path, const std::string& voice, const std::string& speed, const std::string& text) {
  return RunProgram({"espeak-ng", "-v", voice, "-s", speed, "-w", path, text}) == 0;
}

void WriteGenerated(const std::string& path, const std::vector<samples::Syllable>& phrase,
                    const samples::Voice& voice) {
  WriteWaveFile(path.c_str(), *samples::MakeWave16(samples::SpeechLike(kGeneratedRate, phrase, voice), kGeneratedRate));
}

void ShowComparison(DemoContext& context) {
  const std::string attempt = context.folder + "/attempt.wav";
  const std::string other = context.folder + "/other.wav";
  std::string attempt_source;
  std::string other_source;
  if (!context.spoken_text.empty() && Speak(attempt, "en+f3", "125", context.spoken_text) &&
      Speak(other, "en+f3", "125", kOtherText)) {
    attempt_source = "the same text, espeak-ng voice en+f3 at 125 words per minute instead of en at 150";
    other_source = std::string("\"") + kOtherText + "\", same voice and speed";
  } else {
    samples::Voice learner;
    learner.pitch_scale = 1.25f;
    learner.tempo = 0.85f;
    learner.seed = 7;
    WriteGenerated(attempt, samples::DemoPhrase(), learner);
    WriteGenerated(other, samples::OtherPhrase(), learner);
    attempt_source = "the same phrase, generated 25 % higher at 85 % of the tempo";
    other_source = "another generated phrase, same voice";
  }

  std::printf("  attempt: %s\n    %s\n", attempt.c_str(), attempt_source.c_str());
  std::printf("  melvox compare %s %s --details:\n", context.sample_path.c_str(), attempt.c_str());
  const ComparisonTerms terms = CompareFiles(context.sample_path, attempt, false);
  PrintTerms(terms, stdout, "    ");
  std::printf("    %d\n", ScorePercent(terms.score));
  std::printf("  for contrast, a different phrase: %s\n    %s\n", other.c_str(), other_source.c_str());
  std::printf("    score: %d\n", ScorePercent(CompareFiles(context.sample_path, other, false).score));
}

const bool registered = RegisterDemoStep({40, "Comparing a learner's attempt (melvox compare)", ShowComparison});

}  // namespace
}  // namespace melvox::cli

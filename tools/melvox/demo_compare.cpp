// Demo step: a learner's attempt at the sample's phrase (another voice, another speed; with --record
// the user's own, recorded) compared with the sample, and for contrast a different phrase of similar
// length.
#include <cstdio>
#include <string>

#include "audio/sound_player.h"
#include "audio/sound_recorder.h"
#include "comparison_report.h"
#include "core/mv_exception.h"
#include "demo.h"
#include "melvox/errors.h"
#include "play_follow.h"
#include "record_meter.h"
#include "run_program.h"
#include "samples/speech_like.h"
#include "sound/wave_writer.h"

namespace melvox::cli {
namespace {

constexpr const char* kOtherText = "Five boxing wizards jump quickly over my big sofa.";
constexpr uint32_t kGeneratedRate = 22050;
// The longest attempt the demo records; Enter stops earlier on a terminal.
constexpr int kAttemptSeconds = 6;

// Says text into path with espeak-ng; true when it worked.
bool Speak(const std::string& path, const std::string& voice, const std::string& speed, const std::string& text) {
  return RunProgram({"espeak-ng", "-v", voice, "-s", speed, "-w", path, text}) == 0;
}

void WriteGenerated(const std::string& path, const std::vector<samples::Syllable>& phrase,
                    const samples::Voice& voice) {
  WriteWaveFile(path.c_str(), *samples::MakeWave16(samples::SpeechLike(kGeneratedRate, phrase, voice), kGeneratedRate));
}

// Plays the sample, then records the user's attempt at it into path (at most kAttemptSeconds, Enter
// stops earlier on a terminal). Returns how the attempt was made; empty when it could not be recorded.
std::string RecordAttempt(const DemoContext& context, const std::string& path) {
  auto never = [] { return false; };
  const std::string words = context.spoken_text.empty() ? "" : ": \"" + context.spoken_text + "\"";
  std::printf("  listen to the sample, then say it yourself%s\n", words.c_str());
  try {
    CSoundPlayer& player = ProcessPlayer();
    player.Load(context.sample_path.c_str(), 0);
    PlayAndFollow(player, false, "    ", never);
  } catch (const CMsgException& error) {
    std::printf("    the sample could not be played: %s\n", error.what());
  }
  std::printf("  now say it (recording):\n");
  try {
    CSoundRecorder& recorder = ProcessRecorder();
    const RecordingResult result = RecordWithMeter(recorder, kAttemptSeconds, "    ", never);
    platform::RiffWriter out;
    if (!out.CreateOutput(path.c_str())) throw CMVException(kErrCannotOpenFile);
    CopyRecording(recorder, out);
    return "your recording, " + std::to_string(result.recorded_ms) + " ms from the " + result.device + " device";
  } catch (const CMsgException& error) {
    std::printf("    recording failed: %s; a made attempt is compared instead\n", error.what());
  } catch (const CMVException& error) {
    std::printf("    the recording could not be kept: %s; a made attempt is compared instead\n", error.GetMessage());
  }
  return "";
}

void ShowComparison(DemoContext& context) {
  const std::string attempt = context.folder + "/attempt.wav";
  const std::string other = context.folder + "/other.wav";
  const std::string recorded = context.record ? RecordAttempt(context, attempt) : "";
  std::string attempt_source = recorded;
  std::string other_source;
  if (!context.spoken_text.empty() && Speak(other, "en+f3", "125", kOtherText) &&
      (!recorded.empty() || Speak(attempt, "en+f3", "125", context.spoken_text))) {
    if (recorded.empty()) {
      attempt_source = "the same text, espeak-ng voice en+f3 at 125 words per minute instead of en at 150";
    }
    other_source = std::string("\"") + kOtherText + "\", espeak-ng voice en+f3 at 125 words per minute";
  } else {
    samples::Voice learner;
    learner.pitch_scale = 1.25f;
    learner.tempo = 0.85f;
    learner.seed = 7;
    if (recorded.empty()) {
      WriteGenerated(attempt, samples::DemoPhrase(), learner);
      attempt_source = "the same phrase, generated 25 % higher at 85 % of the tempo";
    }
    WriteGenerated(other, samples::OtherPhrase(), learner);
    other_source = "another generated phrase, 25 % higher at 85 % of the tempo";
  }

  context.attempt_path = attempt;
  std::printf("  attempt: %s\n    %s\n", attempt.c_str(), attempt_source.c_str());
  std::printf("  melvox compare %s %s --details:\n", context.sample_path.c_str(), attempt.c_str());
  const ScoreTerms terms = CompareFiles(context.sample_path, attempt, false);
  PrintTerms(terms, stdout, "    ");
  std::printf("    %d\n", terms.percent);
  if (!recorded.empty()) {
    std::printf("  the recorder's own Compare with the sample: %d\n",
                ProcessRecorder().Compare(context.sample_path.c_str()));
  }
  std::printf("  for contrast, a different phrase: %s\n    %s\n", other.c_str(), other_source.c_str());
  std::printf("    score: %d\n", CompareFiles(context.sample_path, other, false).percent);
}

const bool registered = RegisterDemoStep({40, "Comparing a learner's attempt (melvox compare)", ShowComparison});

}  // namespace
}  // namespace melvox::cli

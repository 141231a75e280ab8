#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "melvox/analysis.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "support/wav_bytes.h"

namespace melvox {
namespace {

using testing::HostMessageOf;

TEST(AnalysisFunctions, FailWithTheLibrarysMessages) {
  const testing::TempDir folder;
  const std::vector<int16_t> phrase = samples::SpeechLike(22050, samples::DemoPhrase(), {});
  const std::string good = folder.Write("good.wav", testing::PcmWav16(phrase, 22050));
  const std::string slow_rate = folder.Write("slow.wav", testing::PcmWav16(phrase, 4000));
  const std::string garbage = folder.Write("garbage.wav", std::vector<uint8_t>(100, 7));
  const std::string missing = folder.File("missing.wav");
  const std::string out = folder.File("out.wav");
  const struct {
    std::string path;
    const char* message;
  } inputs[] = {
      {missing, "Cannot open file"},
      {garbage, "Incorrect wave format"},
      {slow_rate, "Unsupported wave format"},
  };
  for (const auto& in : inputs) {
    const SoundInput sound(in.path);
    if (in.path != slow_rate) {  // the format of a 4000 Hz file can be read, only not analysed
      EXPECT_EQ(HostMessageOf([&] { GetSoundInfo(sound); }), in.message) << in.path;
    }
    EXPECT_EQ(HostMessageOf([&] { AnalyzeSteps(sound, true); }), in.message) << in.path;
    EXPECT_EQ(HostMessageOf([&] { ScoreRecording(good, sound, true); }), in.message) << in.path;
    EXPECT_EQ(HostMessageOf([&] { AlignRecording(sound, good); }), in.message) << in.path;
    EXPECT_EQ(HostMessageOf([&] { WriteGraphSound(sound, GraphSoundKind::kTone, out.c_str(), false); }), in.message);
  }
  EXPECT_EQ(HostMessageOf([&] { WriteSlowedSound(good, out.c_str(), 0); }),
            "The slow-down level must lie within -200..-1.");
  EXPECT_EQ(HostMessageOf([&] { GetSoundInfo(SoundInput(std::vector<int16_t>(10, 0), 0)); }), "Incorrect wave format");
}

TEST(AnalysisFunctions, FilesAndSamplesGiveTheSameResults) {
  const testing::TempDir folder;
  const std::vector<int16_t> phrase = samples::SpeechLike(22050, samples::DemoPhrase(), {});
  const std::string path = folder.Write("phrase.wav", testing::PcmWav16(phrase, 22050));
  const SoundInput samples(phrase, 22050);

  EXPECT_EQ(GetSoundInfo(samples).format, "samples");
  EXPECT_EQ(GetSoundInfo(samples).frames, static_cast<int64_t>(phrase.size()));
  const SoundEndpoints part = FindSoundEndpoints(path);
  EXPECT_TRUE(part.found);
  EXPECT_EQ(FindSoundEndpoints(samples).first_sample, part.first_sample);
  const StepAnalysis steps = AnalyzeSteps(samples, true);
  EXPECT_EQ(steps.part.first_sample, part.first_sample);
  EXPECT_EQ(steps.steps.front().time_ms, part.first_sample / 220 * 10);
  EXPECT_EQ(ScoreRecording(path, samples, true).percent, 100);
  const AlignmentReport aligned = AlignRecording(path, samples);
  EXPECT_GT(aligned.score, 99.0f);
  EXPECT_EQ(aligned.path.front().reference_ms, aligned.path.front().recording_ms);

  const std::string slowed = folder.File("slowed.wav");
  const int64_t frames = WriteSlowedSound(samples, slowed.c_str(), -100);
  EXPECT_NEAR(static_cast<double>(frames), 2.0 * static_cast<double>(phrase.size()), 0.05 * phrase.size());
  EXPECT_EQ(GetSoundInfo(slowed).frames, frames);
  const std::string tone = folder.File("tone.wav");
  WriteGraphSound(path, GraphSoundKind::kTone, tone.c_str(), true);
  EXPECT_EQ(GetSoundInfo(tone).rate, 44100u);
}

}  // namespace
}  // namespace melvox

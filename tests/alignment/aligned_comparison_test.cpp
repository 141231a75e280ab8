#include "alignment/aligned_comparison.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "alignment/aligned_sound.h"
#include "samples/speech_like.h"

namespace melvox {
namespace {

std::unique_ptr<CAlignedSound> Prepared(const std::vector<samples::Syllable>& phrase, const samples::Voice& voice,
                                        float gain = 1.0f) {
  std::vector<int16_t> samples = samples::SpeechLike(22050, phrase, voice);
  for (int16_t& s : samples) s = static_cast<int16_t>(static_cast<float>(s) * gain);
  const std::unique_ptr<CWave> wave = samples::MakeWave16(samples, 22050);
  return std::make_unique<CAlignedSound>(*wave, true);
}

TEST(AlignedComparison, ScoresTheSameWordsHighAndOthersLow) {
  const samples::Voice voice;
  samples::Voice slower = voice;
  slower.tempo = 0.9f;
  samples::Voice other_speaker = voice;
  other_speaker.pitch_scale = 1.3f;
  other_speaker.seed = 5;
  const std::unique_ptr<CAlignedSound> reference = Prepared(samples::DemoPhrase(), voice);
  const struct {
    const char* name;
    std::unique_ptr<CAlignedSound> recording;
    float least, most;
  } cases[] = {
      {"itself", Prepared(samples::DemoPhrase(), voice), 99.0f, 100.0f},
      {"12 dB quieter", Prepared(samples::DemoPhrase(), voice, 0.25f), 90.0f, 100.0f},
      {"10 % slower", Prepared(samples::DemoPhrase(), slower), 80.0f, 100.0f},
      {"another speaker", Prepared(samples::DemoPhrase(), other_speaker), 70.0f, 100.0f},
      {"another phrase", Prepared(samples::OtherPhrase(), voice), 0.0f, 20.0f},
  };
  for (const auto& c : cases) {
    const AlignedComparison result = CompareAligned(reference->Analysis(), c.recording->Analysis());
    ASSERT_TRUE(result.compared) << c.name;
    EXPECT_GE(result.score, c.least) << c.name;
    EXPECT_LE(result.score, c.most) << c.name;

    // The path never goes back, moves at most one step at a time in each sound, and the stretches
    // cover the reference's analysed part in order.
    ASSERT_FALSE(result.path.empty());
    for (size_t i = 1; i < result.path.size(); ++i) {
      const int32_t da = result.path[i].reference_ms - result.path[i - 1].reference_ms;
      const int32_t db = result.path[i].recording_ms - result.path[i - 1].recording_ms;
      EXPECT_TRUE(da >= 0 && da <= 10 && db >= 0 && db <= 10 && da + db > 0) << c.name << " at " << i;
    }
    const int32_t first_ms = reference->Analysis().SelectionStart() * 1000 / 22050;
    const auto steps = static_cast<int32_t>(reference->Analysis().Results().size());
    ASSERT_FALSE(result.stretches.empty());
    EXPECT_EQ(result.stretches.front().reference_begin_ms, first_ms);
    EXPECT_EQ(result.stretches.back().reference_end_ms, first_ms + 10 * steps);
    for (size_t i = 1; i < result.stretches.size(); ++i) {
      EXPECT_EQ(result.stretches[i].reference_begin_ms, result.stretches[i - 1].reference_end_ms);
    }
  }
  // A sound with itself: the whole of both, on the diagonal.
  const AlignedComparison self = CompareAligned(reference->Analysis(), reference->Analysis());
  const auto steps = static_cast<int32_t>(reference->Analysis().Results().size());
  ASSERT_EQ(self.path.size(), static_cast<size_t>(steps));
  EXPECT_EQ(self.path.back().recording_ms - self.path.front().recording_ms, 10 * (steps - 1));
}

TEST(AlignedComparison, RefusesWhatCannotBeAligned) {
  const samples::Voice voice;
  samples::Voice much_slower = voice;
  much_slower.tempo = 0.2f;
  const std::unique_ptr<CAlignedSound> reference = Prepared(samples::DemoPhrase(), voice);
  EXPECT_FALSE(
      CompareAligned(reference->Analysis(), Prepared(samples::DemoPhrase(), much_slower)->Analysis()).compared);
  const std::unique_ptr<CWave> empty = samples::MakeWave16({}, 22050);
  const CAlignedSound nothing(*empty, true);
  const AlignedComparison result = CompareAligned(reference->Analysis(), nothing.Analysis());
  EXPECT_FALSE(result.compared);
  EXPECT_EQ(result.score, 0.0f);
  // The score falls with the distance.
  const AlignmentSettings settings;
  EXPECT_GT(AlignedScore(0.0f, settings), AlignedScore(settings.distance_at_50, settings));
  EXPECT_FLOAT_EQ(AlignedScore(settings.distance_at_50, settings), 50.0f);
}

}  // namespace
}  // namespace melvox

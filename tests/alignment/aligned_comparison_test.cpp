#include "alignment/aligned_comparison.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "alignment/aligned_sound.h"
#include "alignment/step_profile.h"
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

TEST(AlignedComparison, ScoresTheSameWordsHighOthersLowAndRefusesWhatCannotBeAligned) {
  const samples::Voice voice;
  samples::Voice slower = voice;
  slower.tempo = 0.9f;
  samples::Voice much_slower = voice;
  much_slower.tempo = 0.2f;
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
      // Not compared, scoring 0: over twice as long, and no steps at all.
      {"five times slower", Prepared(samples::DemoPhrase(), much_slower), 0.0f, 0.0f},
      {"no sound", std::make_unique<CAlignedSound>(*samples::MakeWave16({}, 22050), true), 0.0f, 0.0f},
  };
  for (const auto& c : cases) {
    const AlignedComparison result = CompareAligned(reference->Analysis(), c.recording->Analysis());
    EXPECT_EQ(result.compared, c.most > 0.0f) << c.name;
    EXPECT_GE(result.score, c.least) << c.name;
    EXPECT_LE(result.score, c.most) << c.name;
    if (!result.compared) continue;

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
  // The distances of a whole row at once are StepDistance's.
  const AlignmentSettings settings;
  const FeaturePair pair = MakeFeaturePair(MakeStepProfile(reference->Analysis()),
                                           MakeStepProfile(cases[3].recording->Analysis()), settings);
  std::vector<float> row(pair.b.Steps());
  for (size_t i = 0; i < pair.a.Steps(); i += 7) {
    DistancesFrom(pair.a, i, pair.b, settings, row.data());
    for (size_t j = 0; j < row.size(); ++j)
      ASSERT_EQ(row[j], StepDistance(pair.a, i, pair.b, j, settings)) << i << ", " << j;
  }
  // A sound with itself: the whole of both, on the diagonal.
  const AlignedComparison self = CompareAligned(reference->Analysis(), reference->Analysis());
  const auto steps = static_cast<int32_t>(reference->Analysis().Results().size());
  ASSERT_EQ(self.path.size(), static_cast<size_t>(steps));
  EXPECT_EQ(self.path.back().recording_ms - self.path.front().recording_ms, 10 * (steps - 1));
}

}  // namespace
}  // namespace melvox

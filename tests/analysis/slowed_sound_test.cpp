#include "analysis/slowed_sound.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/sound_analysis.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"
#include "support/sound_data.h"

namespace melvox {
namespace {

constexpr uint32_t kRate = 22050;
constexpr int32_t kLevels[] = {-10, -50, -100};

// About 3 s of speech-like sound: both phrases one after the other.
std::vector<int16_t> Phrases() {
  auto phrase = samples::DemoPhrase();
  const auto other = samples::OtherPhrase();
  phrase.insert(phrase.end(), other.begin(), other.end());
  return samples::SpeechLike(kRate, phrase, samples::Voice{});
}

// 2 s of a steady 150 Hz harmonic sound (period 147 samples): five harmonics falling as 1/k.
std::vector<int16_t> SteadyHarmonic() { return testing::Harmonic(147, 5, 2 * kRate, 4000.0); }

std::unique_ptr<CWave> Slowed(const std::vector<int16_t>& samples, int32_t level) {
  CountedPtr<CSoundSource> source = MakeMemorySource(samples::MakeWave16(samples, kRate));
  CountedPtr<CSoundSource> slowed = PrepareSlowed(*source, level);
  return slowed ? slowed->GetWave() : nullptr;
}

// The median of the voiced steps' pitch, as our own analysis measures it; 0 when none is voiced.
int MedianPitch(CWave& wave) {
  const CSoundAnalysis analysis(&wave, 0);
  std::vector<int16_t> voiced;
  for (const int16_t pitch : analysis.GetPitchContour(analysis.SelectionStart(), analysis.SelectionEnd())) {
    if (pitch > 0) voiced.push_back(pitch);
  }
  if (voiced.empty()) return 0;
  std::nth_element(voiced.begin(), voiced.begin() + voiced.size() / 2, voiced.end());
  return voiced[voiced.size() / 2];
}

TEST(PrepareSlowed, KeepsThePitchAndLastsTheWantedTime) {
  const std::vector<int16_t> sounds[] = {SteadyHarmonic(), Phrases()};
  for (size_t which = 0; which < 2; ++which) {
    const int before = MedianPitch(*samples::MakeWave16(sounds[which], kRate));
    ASSERT_GT(before, 0);
    for (const int32_t level : kLevels) {
      SCOPED_TRACE(::testing::Message() << (which == 0 ? "steady harmonic" : "speech") << ", level " << level);
      const auto slowed = Slowed(sounds[which], level);
      ASSERT_NE(slowed, nullptr);
      // Stretching the waveform instead of repeating periods would lower the pitch by 9 % at -10 and by
      // half at -100. The analysis finds pitch as a whole lag of the AMDF, about 1 Hz apart at 150 Hz
      // and 22050 Hz; 2 % allows for that grid and the joins of the inserted periods.
      EXPECT_NEAR(MedianPitch(*slowed), before, 0.02 * before);
      // The carry between segments keeps the total within a period or so of the wanted length; 1 % of
      // 2 or 3 s is 20 or 30 ms, several periods even at the lowest voice.
      const double wanted = static_cast<double>(sounds[which].size()) * (100 - level) / 100;
      EXPECT_NEAR(slowed->SampleCount(), wanted, 0.01 * wanted);
    }
  }
}

TEST(PrepareSlowed, RateTheAnalysisRefusesGivesNoSlowedVersionAndNoException) {
  // 192000 Hz is above the 96000 Hz the analysis takes.
  auto fast = MakeMemorySource(samples::MakeWave16(samples::Tone(192000, 150.0f, 200, 8000.0f), 192000));
  EXPECT_FALSE(PrepareSlowed(*fast, -10));
}

}  // namespace
}  // namespace melvox

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

// About 3 s of speech-like sound: both phrases one after the other.
std::vector<int16_t> Phrases(uint32_t rate) {
  auto phrase = samples::DemoPhrase();
  const auto other = samples::OtherPhrase();
  phrase.insert(phrase.end(), other.begin(), other.end());
  return samples::SpeechLike(rate, phrase, samples::Voice{});
}

std::unique_ptr<CWave> Slowed(const std::vector<int16_t>& samples, uint32_t rate, int32_t level) {
  CountedPtr<CSoundSource> source = MakeMemorySource(samples::MakeWave16(samples, rate));
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
  const struct {
    const char* name;
    uint32_t rate;
    std::vector<int16_t> samples;
  } sounds[] = {
      // 2 s of a steady 150 Hz harmonic sound (period 147 samples): five harmonics falling as 1/k.
      {"steady harmonic", 22050, testing::Harmonic(147, 5, 2 * 22050, 4000.0)},
      {"speech", 22050, Phrases(22050)},
      {"speech at 44100 Hz", 44100, Phrases(44100)},
  };
  for (const auto& sound : sounds) {
    const int before = MedianPitch(*samples::MakeWave16(sound.samples, sound.rate));
    ASSERT_GT(before, 0);
    for (const int32_t level : {-10, -50, -100}) {
      SCOPED_TRACE(::testing::Message() << sound.name << ", level " << level);
      const auto slowed = Slowed(sound.samples, sound.rate, level);
      ASSERT_NE(slowed, nullptr);
      // Stretching the waveform would lower the pitch by 9 % at -10; 2 % allows for the AMDF's whole lags.
      EXPECT_NEAR(MedianPitch(*slowed), before, 0.02 * before);
      // Truncated shares, the carry and the unstretched last segment leave it short by under 1 %.
      const double wanted = static_cast<double>(sound.samples.size()) * (100 - level) / 100;
      EXPECT_NEAR(slowed->SampleCount(), wanted, 0.01 * wanted);
    }
  }
  // 192000 Hz is above the 96000 Hz the analysis takes: no slowed version, and no exception.
  auto fast = MakeMemorySource(samples::MakeWave16(samples::Tone(192000, 150.0f, 200, 8000.0f), 192000));
  EXPECT_FALSE(PrepareSlowed(*fast, -10));
}

}  // namespace
}  // namespace melvox

// Analyses and the sounds made from them on two threads at once give the same results as one after the
// other. Run under ThreadSanitizer too, which sees any shared state left unguarded. What the spectral
// layer derives (tracks, notes, resynthesis, the score) is a function of the results compared here and
// keeps no state of its own between calls.
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/fricative_sound.h"
#include "analysis/pitch_tone.h"
#include "analysis/sound_analysis.h"
#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox {
namespace {

// Everything derived from one sound, in a form that compares exactly.
struct Derived {
  std::vector<float> steps;  // level, periodicity, pitch and log spectrum of every step, in a row
  std::vector<int32_t> counts;
  std::vector<int16_t> tone, fricative;

  bool operator==(const Derived& other) const {
    return steps == other.steps && counts == other.counts && tone == other.tone && fricative == other.fricative;
  }
};

std::vector<int16_t> SamplesOf(const std::unique_ptr<CWave>& wave) {
  return wave ? testing::Samples16(*wave) : std::vector<int16_t>{};
}

Derived Derive(const CWave& wave) {
  const CSoundAnalysis analysis(&wave, 0);
  Derived derived;
  for (const FrameResult& result : analysis.Results()) {
    derived.steps.insert(derived.steps.end(), {result.level_db, result.periodicity, float(result.pitch_hz)});
    derived.steps.insert(derived.steps.end(), result.log_spectrum.begin(), result.log_spectrum.end());
  }
  derived.counts = {int32_t(analysis.VoicedSegments().size()), int32_t(analysis.NoisySegments().size())};
  derived.tone = SamplesOf(MakePitchTone(analysis));
  const std::unique_ptr<CWave> fricative = MakeFricativeSound(analysis, wave);
  if (fricative && fricative->Format().wBitsPerSample == 16) derived.fricative = testing::Samples16(*fricative);
  return derived;
}

TEST(ConcurrentAnalysis, TwoThreadsGetWhatOneThreadGets) {
  samples::Voice other_voice;
  other_voice.pitch_scale = 1.3f;
  other_voice.seed = 7;
  // Different rates and sample forms; both threads read the same waves, the unsigned 8-bit one too.
  std::vector<std::unique_ptr<CWave>> waves;
  waves.push_back(samples::MakeWave16(samples::SpeechLike(22050, samples::DemoPhrase(), {}), 22050));
  waves.push_back(samples::MakeWave8(samples::SpeechLike(16000, samples::OtherPhrase(), other_voice), 16000));
  waves.push_back(samples::MakeWave16(samples::SpeechLike(44100, samples::OtherPhrase(), {}), 44100));

  std::vector<Derived> expected;
  for (const auto& wave : waves) expected.push_back(Derive(*wave));

  constexpr int kRounds = 2;
  std::vector<std::vector<Derived>> seen(2);
  auto work = [&](size_t thread) {
    for (int round = 0; round < kRounds; ++round) {
      for (size_t k = 0; k < waves.size(); ++k) {
        const size_t index = thread == 0 ? k : waves.size() - 1 - k;  // the threads meet in the middle
        seen[thread].push_back(Derive(*waves[index]));
      }
    }
  };
  std::thread first(work, 0);
  std::thread second(work, 1);
  first.join();
  second.join();

  for (size_t thread = 0; thread < 2; ++thread) {
    ASSERT_EQ(seen[thread].size(), kRounds * waves.size());
    for (size_t i = 0; i < seen[thread].size(); ++i) {
      const size_t k = i % waves.size();
      const size_t index = thread == 0 ? k : waves.size() - 1 - k;
      EXPECT_TRUE(seen[thread][i] == expected[index]) << "thread " << thread << ", sound " << index;
    }
  }
  EXPECT_GT(expected[1].counts[0], 0);  // the sounds really have segments and tones to compare
  EXPECT_FALSE(expected[1].tone.empty());
}

}  // namespace
}  // namespace melvox

// Analyses and the sounds made from them on two threads at once give the same results as one after the
// other. Run under ThreadSanitizer too, which sees any shared state left unguarded. What the spectral
// layer derives (tracks, notes, resynthesis, the score) is a function of the results compared here and
// keeps no state of its own between calls.
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

// Everything derived from one sound, in a row that compares exactly: level, periodicity, pitch and log
// spectrum of every step, the segment counts, the pitch tone and the fricative sound.
std::vector<float> Derive(const CWave& wave) {
  const CSoundAnalysis analysis(&wave, 0);
  std::vector<float> derived;
  for (const FrameResult& result : analysis.Results()) {
    derived.insert(derived.end(), {result.level_db, result.periodicity, float(result.pitch_hz)});
    derived.insert(derived.end(), result.log_spectrum.begin(), result.log_spectrum.end());
  }
  derived.insert(derived.end(), {float(analysis.VoicedSegments().size()), float(analysis.NoisySegments().size())});
  for (const auto& sound : {MakePitchTone(analysis), MakeFricativeSound(analysis, wave)}) {
    if (sound == nullptr || sound->Format().wBitsPerSample != 16) continue;
    const std::vector<int16_t> samples = testing::Samples16(*sound);
    derived.insert(derived.end(), samples.begin(), samples.end());
  }
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
  std::vector<std::vector<float>> expected;
  for (const auto& wave : waves) expected.push_back(Derive(*wave));
  const CSoundAnalysis check(waves[1].get(), 0);  // the sounds really have segments and tones to compare
  ASSERT_TRUE(!check.VoicedSegments().empty() && MakePitchTone(check) != nullptr);

  // Each thread analyses every sound twice; the threads go through them in opposite orders and meet.
  const auto sound = [&](size_t thread, size_t i) { return thread == 0 ? i % 3 : 2 - i % 3; };
  std::vector<std::vector<float>> seen[2];
  auto work = [&](size_t thread) {
    for (size_t i = 0; i < 6; ++i) seen[thread].push_back(Derive(*waves[sound(thread, i)]));
  };
  std::thread first(work, 0);
  std::thread second(work, 1);
  first.join();
  second.join();
  for (size_t thread = 0; thread < 2; ++thread) {
    for (size_t i = 0; i < 6; ++i) {
      EXPECT_TRUE(seen[thread][i] == expected[sound(thread, i)]) << "thread " << thread << ", step " << i;
    }
  }
}

}  // namespace
}  // namespace melvox

#include "analysis/sound_analysis.h"

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/endpoint_detector.h"
#include "analysis/frame_analyzer.h"
#include "analysis/fricative_sound.h"
#include "analysis/pitch_tone.h"
#include "core/mv_exception.h"
#include "samples/speech_like.h"
#include "support/sound_data.h"
#include "support/thrown.h"

namespace melvox {
namespace {

size_t Samples(uint32_t rate, int ms) { return size_t{rate} * static_cast<size_t>(ms) / 1000; }

std::vector<int16_t> Contour(const CSoundAnalysis& analysis) {
  return analysis.GetPitchContour(analysis.SelectionStart(), analysis.SelectionEnd());
}

// The closest the unit tests come to real speech: the generated phrase's vowels must be voiced and
// their pitch must follow the generated f0, at every supported kind of rate.
TEST(SoundAnalysis, PitchFollowsTheGeneratedIntonationOfSpeechLikeSound) {
  for (const uint32_t rate : {8000u, 22050u, 44100u, 96000u}) {
    auto wave = samples::MakeWave16(samples::SpeechLike(rate, samples::DemoPhrase(), samples::Voice{}), rate);
    const CSoundAnalysis analysis(wave.get(), 0);
    const size_t hop = rate / 100;
    size_t inner_steps = 0;
    size_t voiced_steps = 0;
    // The generator's timing: 120 ms of noise floor first, every part rate x ms / 1000 samples long.
    size_t position = Samples(rate, 120);
    for (const samples::Syllable& syllable : samples::DemoPhrase()) {
      const size_t begin = position + Samples(rate, syllable.fricative_ms);
      const size_t end = begin + Samples(rate, syllable.vowel_ms);
      position = end + Samples(rate, syllable.pause_after_ms);
      // Steps wholly inside the vowel, leaving out its 30 ms fades at both ends.
      const size_t last = (end - Samples(rate, 30)) / hop - 1;
      for (size_t step = (begin + Samples(rate, 30)) / hop + 1; step <= last && step < analysis.Results().size();
           ++step) {
        ++inner_steps;
        const int pitch = analysis.Results()[step].pitch_hz;
        if (pitch == 0) continue;
        ++voiced_steps;
        // The generated f0 5 ms into the step, where the AMDF looks; 5 % covers whole lags (2.2 Hz at
        // 8000 Hz) and the glide, while an octave error is off by 50 %.
        const double at = static_cast<double>(step * hop + Samples(rate, 5) - begin) / (end - begin);
        const double f0 = syllable.f0_start_hz + (syllable.f0_end_hz - syllable.f0_start_hz) * at;
        EXPECT_NEAR(pitch, f0, 0.05 * f0) << rate << " Hz, step " << step;
      }
    }
    // Every inner step of a vowel (about 60 of them: 860 ms of vowels less the fades) is voiced.
    EXPECT_GT(inner_steps, 50u) << rate << " Hz";
    EXPECT_EQ(voiced_steps, inner_steps) << rate << " Hz";
    // The noise floor before the phrase is never voiced.
    const std::vector<int16_t> floor = analysis.GetPitchContour(0, static_cast<int32_t>(Samples(rate, 100)) - 1);
    EXPECT_EQ(floor, std::vector<int16_t>(floor.size(), 0)) << rate << " Hz";
  }
}

// One sound in every sample form the analysis reads: 16 bits, unsigned, signed and unstated 8-bit bytes
// (read as unsigned), and two equal channels. Each gets the same endpoints (counted in frames) and, as the
// views do it, the same pitch contour of that selection; neither step changes the wave it reads.
TEST(SoundAnalysis, EverySampleFormOfOneSoundGivesTheSameEndpointsAndContour) {
  const uint32_t rate = 22050;
  std::vector<int16_t> samples = samples::SpeechLike(rate, samples::OtherPhrase(), samples::Voice{});
  // Multiples of 256, so that the 8-bit versions hold the same sound.
  for (int16_t& sample : samples) sample = static_cast<int16_t>((sample >> 8) * 256);
  std::vector<std::unique_ptr<CWave>> waves;
  waves.push_back(samples::MakeWave16(samples, rate));
  for (const SampleKind kind : {SampleKind::kUnsigned8, SampleKind::kSigned, SampleKind::kNotStated}) {
    waves.push_back(samples::MakeWave8(samples, rate));
    for (uint32_t i = 0; kind == SampleKind::kSigned && i < waves.back()->Size(); ++i) waves.back()->Data()[i] ^= 0x80;
    waves.back()->SetKind(kind);
  }
  std::vector<int16_t> interleaved;
  for (const int16_t sample : samples) interleaved.insert(interleaved.end(), {sample, sample});
  waves.push_back(samples::MakeWave16(interleaved, rate));
  waves.back()->SetFormat(MakePcmFormat(2, rate, 16));
  waves.back()->SetSampleCount(static_cast<uint32_t>(samples.size()));

  ASSERT_TRUE(DetectEndpoints(*waves[0]));
  const CSoundAnalysis reference(waves[0].get(), 0);
  ASSERT_GT(reference.VoicedSegments().size(), 0u);
  for (size_t i = 0; i < waves.size(); ++i) {
    CWave& wave = *waves[i];
    const std::vector<uint8_t> bytes(wave.Data(), wave.Data() + wave.Size());
    const SampleKind kind = wave.Kind();
    ASSERT_TRUE(DetectEndpoints(wave)) << "form " << i;
    EXPECT_EQ(std::pair(wave.SelectionStart(), wave.SelectionEnd()),
              std::pair(waves[0]->SelectionStart(), waves[0]->SelectionEnd()))
        << "form " << i;
    EXPECT_EQ(Contour(CSoundAnalysis(&wave, 0)), Contour(reference)) << "form " << i;
    EXPECT_EQ(wave.Kind(), kind) << "form " << i;
    EXPECT_EQ(std::vector<uint8_t>(wave.Data(), wave.Data() + wave.Size()), bytes) << "form " << i;
  }
}

TEST(SoundAnalysis, PitchContourIsPaddedToTheRequestedRange) {
  const uint32_t rate = 8000;  // hop 80
  auto wave = samples::MakeWave16(samples::SpeechLike(rate, samples::DemoPhrase(), samples::Voice{}), rate);
  wave->SetSelection(5 * 80, 60 * 80 - 1);
  const CSoundAnalysis analysis(wave.get(), 0);
  ASSERT_EQ(analysis.Results().size(), 54u);  // frames start up to the selection end minus one hop
  // Steps 0 .. 100: zeros before the selection's first step (5) and after the results, their pitches
  // between; a range starting later holds only its own steps.
  std::vector<int16_t> steps(101, 0);
  for (size_t i = 0; i < 54; ++i) steps[5 + i] = analysis.Results()[i].pitch_hz;
  EXPECT_EQ(analysis.GetPitchContour(0, 100 * 80 + 40), steps);
  EXPECT_EQ(analysis.GetPitchContour(50 * 80, 100 * 80 + 40), std::vector<int16_t>(steps.begin() + 50, steps.end()));
  EXPECT_EQ(analysis.GetPitchContour(0, 2 * 80 - 1), std::vector<int16_t>(2, 0));
  EXPECT_TRUE(analysis.GetPitchContour(800, 0).empty());
}

TEST(SoundAnalysis, ShortSelectionsAnalyseOnlyWholeFrames) {
  const uint32_t rate = 44100;  // frame length 955, hop 441
  const int32_t frame_length = AcquireFrameAnalyzer(MakePcmFormat(1, rate, 16), 0)->FrameLength();
  auto wave = samples::MakeWave16(samples::Tone(rate, 200.0f, 500, 8000.0f), rate);
  // A step is analysed while its start lies at or before the selection end minus the frame length,
  // so a whole frame must fit before the selection's last sample: samples beyond a frame, results, and
  // steps analysed.
  for (const auto& [extra, results, analysed] : {std::array<int32_t, 3>{-1, 0, 0}, {0, 2, 0}, {1, 2, 1}, {442, 3, 2}}) {
    wave->SetSelection(1000, 1000 + frame_length + extra - 1);
    const CSoundAnalysis analysis(wave.get(), 0);
    const std::vector<FrameResult>& steps = analysis.Results();
    ASSERT_EQ(steps.size(), size_t(results)) << extra << " samples beyond a frame";
    EXPECT_EQ(std::count_if(steps.begin(), steps.end(), [](const FrameResult& step) { return !step.silent; }), analysed)
        << extra << " samples beyond a frame";
  }
  // A selection beyond the samples is clamped to them.
  wave->SetSelection(-50, 1 << 30);
  const CSoundAnalysis clamped(wave.get(), 0);
  EXPECT_EQ(std::pair(clamped.SelectionStart(), clamped.SelectionEnd()),
            std::pair(0, static_cast<int32_t>(wave->SampleCount()) - 1));
}

TEST(SoundAnalysis, RefusesWhatItCannotAnalyse) {
  EXPECT_EQ(testing::ErrorCodeOf([] { CSoundAnalysis(nullptr, 0); }), kErrIncorrectWaveFormat);
  for (const uint32_t rate : {7999u, 96001u, 192000u}) {
    auto wave = samples::MakeWave8(samples::Tone(rate, 200.0f, 100, 8000.0f), rate);
    EXPECT_EQ(testing::ErrorCodeOf([&] { CSoundAnalysis(wave.get(), 0); }), kErrUnsupportedWaveFormat) << rate;
  }
  auto wave = samples::MakeWave8(samples::Tone(22050, 200.0f, 100, 8000.0f), 22050);
  for (const int32_t pitch : {-1, 19, 1001}) {
    EXPECT_THROW(CSoundAnalysis(wave.get(), pitch), std::invalid_argument) << pitch;
  }
  CWave wide(MakePcmFormat(1, 22050, 24), 3000, nullptr);
  EXPECT_THROW(CSoundAnalysis(&wide, 0), CMVException);
}

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

// Analyses and the sounds made from them on two threads at once give the same results as one after the
// other. Run under ThreadSanitizer too, which sees any shared state left unguarded. What the spectral
// layer derives (tracks, notes, resynthesis, the score) is a function of the results compared here and
// keeps no state of its own between calls.
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

#include "analysis/frame_analyzer.h"

#include <vector>

#include <gtest/gtest.h>

#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox {
namespace {

// A loud, quiet-crossing frame record, as the sound analysis makes for a vowel.
FrameFeature LoudFrame() { return FrameFeature{1.0e7f, 0, 10, kFrameLoud}; }

// Harmonics 1..count of f0 with amplitudes 1/k, peak about 8000, starting at sample `onset`.
std::vector<int16_t> Harmonic(uint32_t rate, double f0, int count, size_t length, size_t onset = 0) {
  return testing::Harmonic(rate / f0, count, length, 5000.0, onset);
}

FrameResult Analyze(uint32_t rate, const std::vector<int16_t>& frame, const FrameFeature& feature,
                    int32_t reference_pitch = 0) {
  CFrameAnalyzer analyzer;
  analyzer.Configure(MakePcmFormat(1, rate, 16), reference_pitch);
  EXPECT_GE(frame.size(), static_cast<size_t>(analyzer.FrameLength()));
  FrameResult result;
  analyzer.AnalyzeFrame(frame.data(), feature, result);
  return result;
}

TEST(FrameAnalyzer, PeriodicFramesGiveTheirPitchAndCandidates) {
  struct Case {
    const char* name;
    uint32_t rate;
    double f0;
    int harmonics, reference_pitch, pitch, first_lag;
    bool deepest_first;  // the chosen lag is the deepest minimum (depth 1.0)
  };
  const Case cases[] = {
      // Period exactly 220 samples: the first minimum of the AMDF is the deepest.
      {"44100/220 Hz tone", 44100, 44100.0 / 220.0, 1, 0, 200, 220, true},
      // Period 220.5 samples: lag 441 (two periods) matches exactly and is deepest; the octave
      // check takes the candidate at 220, since 441 mod 220 = 1 < 220 / 12.
      {"200 Hz tone", 44100, 200.0, 1, 0, 200, 220, false},
      {"8000 Hz, 200 Hz vowel-like", 8000, 200.0, 5, 0, 200, 40, true},
      {"96000 Hz, 200 Hz", 96000, 200.0, 3, 0, 200, 480, true},
      {"reference pitch 150", 22050, 150.0, 3, 150, 150, 147, true},
  };
  for (const Case& c : cases) {
    const FrameResult result =
        Analyze(c.rate, Harmonic(c.rate, c.f0, c.harmonics, 4096), LoudFrame(), c.reference_pitch);
    EXPECT_EQ(result.pitch_hz, c.pitch) << c.name;
    ASSERT_FALSE(result.candidates.empty()) << c.name;
    EXPECT_EQ(result.candidates[0].lag, c.first_lag) << c.name;
    if (c.deepest_first) {
      EXPECT_EQ(result.candidates[0].depth, 1.0f) << c.name;
    } else {
      EXPECT_LT(result.candidates[0].depth, 1.0f) << c.name;
      EXPECT_EQ(result.candidates[1].depth, 1.0f) << c.name;  // the original best, twice as long
      EXPECT_EQ(result.candidates[1].lag, 441) << c.name;
    }
    EXPECT_LE(result.candidates.size(), 6u) << c.name;  // 5 found, plus the octave correction
    EXPECT_GE(result.periodicity, 3.2f) << c.name;
    EXPECT_FALSE(result.silent) << c.name;
  }
}

TEST(FrameAnalyzer, GatesMakeLoudNoiseQuietFramesAndOnsetsUnvoiced) {
  const std::vector<int16_t> tone = Harmonic(44100, 300.0, 1, 1024);
  struct Case {
    const char* name;
    std::vector<int16_t> frame;
    float energy;
    uint16_t crossings, pitch;
  };
  const Case cases[] = {
      {"periodic, 49 crossings", tone, 1.0e7f, 49, 300},
      // The crossing count gates, whatever the periodicity.
      {"periodic, 50 crossings", tone, 1.0e7f, 50, 0},
      {"periodic, too quiet", tone, 300000.0f, 10, 0},
      {"white noise", samples::WhiteNoise(44100, 30, 8000.0f, 3), 1.0e7f, 10, 0},
      // Silent first half: the shortest lags match best and the second half is far louder.
      {"tone starting mid-frame", Harmonic(44100, 300.0, 1, 1024, 400), 1.0e7f, 10, 0},
  };
  for (const Case& c : cases) {
    FrameFeature feature = LoudFrame();
    feature.energy = c.energy;
    feature.zero_crossings = c.crossings;
    const FrameResult result = Analyze(44100, c.frame, feature);
    EXPECT_EQ(result.pitch_hz, c.pitch) << c.name;
    EXPECT_EQ(result.candidates.empty(), c.pitch == 0) << c.name;
    EXPECT_EQ(result.log_spectrum.size(), 60u) << c.name;  // every step that is not silent has a spectrum
  }
}

TEST(FrameAnalyzer, SilentStepHasLevelOnly) {
  CFrameAnalyzer analyzer;
  analyzer.Configure(MakePcmFormat(1, 22050, 16), 0);
  const std::vector<int16_t> tone = Harmonic(22050, 150.0, 3, 2048);
  FrameResult voiced;
  analyzer.AnalyzeFrame(tone.data(), LoudFrame(), voiced);
  ASSERT_NE(voiced.pitch_hz, 0);
  FrameFeature quiet{99.0f, 0, 3, kFrameSilence};
  FrameResult silent;
  analyzer.AnalyzeFrame(tone.data(), quiet, silent);
  EXPECT_TRUE(silent.silent && silent.pitch_hz == 0 && silent.periodicity == 0.0f);
  EXPECT_TRUE(silent.log_spectrum.empty() && silent.candidates.empty());
  EXPECT_FLOAT_EQ(silent.level_db, 20.0f);  // 10 log10(99 + 1)
}

TEST(FrameAnalyzer, AFrameOfExactlyFrameLengthSamplesIsEnoughAtEveryRate) {
  for (const uint32_t rate : {8000u, 22050u, 96000u}) {
    CFrameAnalyzer analyzer;
    analyzer.Configure(MakePcmFormat(1, rate, 16), 0);
    // Exactly FrameLength() samples: the sanitizer builds check that no step reads beyond them.
    const std::vector<int16_t> frame = Harmonic(rate, 150.0, 3, static_cast<size_t>(analyzer.FrameLength()));
    FrameResult result;
    analyzer.AnalyzeFrame(frame.data(), LoudFrame(), result);
    EXPECT_NEAR(result.pitch_hz, 150, 3) << rate;  // integer lags: 150 Hz is a lag of 53.3 at 8000 Hz
  }
}

}  // namespace
}  // namespace melvox

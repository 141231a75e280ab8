// The analysis of one 10 ms frame: its power spectrum from the fixed-point transform, then its pitch,
// periodicity and level.
#include "analysis/frame_analyzer.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/power_fft.h"
#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox {
namespace {

constexpr double kPi = 3.141592653589793;

// |X_k| / N of the Hamming-windowed, zero-padded frame, in double precision: the magnitudes whose
// squares the fixed-point transform approximates.
std::vector<double> ReferenceMagnitudes(const std::vector<int16_t>& frame, int32_t size, int32_t count) {
  const auto length = static_cast<int32_t>(frame.size());
  std::vector<double> magnitudes(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) {
    std::complex<double> sum = 0.0;
    for (int32_t n = 0; n < length; ++n) {
      const double window = 0.54 - 0.46 * std::cos(2.0 * kPi * n / (length - 1));
      sum += frame[n] * window * std::polar(1.0, -2.0 * kPi * k * n / size);
    }
    magnitudes[k] = std::abs(sum) / size;
  }
  return magnitudes;
}

std::vector<int16_t> Cosine(int32_t length, double cycles_per_sample, double amplitude) {
  std::vector<int16_t> frame(static_cast<size_t>(length));
  for (int32_t n = 0; n < length; ++n) {
    frame[n] = static_cast<int16_t>(std::lround(amplitude * std::cos(2.0 * kPi * cycles_per_sample * n)));
  }
  return frame;
}

std::vector<int16_t> FullScaleNoise(int32_t length, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<int16_t> frame(static_cast<size_t>(length));
  for (int16_t& value : frame) value = static_cast<int16_t>(sample(random));
  return frame;
}

// The fixed-point transform against a double-precision DFT, on frame lengths of every transform size
// and on signals from a quiet cosine to full-scale noise. Error bound in units of |X_k| / N: under 2 from
// the truncated Q14 window, 1 + sqrt(2) for each of the log2(N) halving and rounded-twiddle stages, 2
// for the final split.
TEST(PowerFft, MatchesADoublePrecisionDftWithinTheRoundingOfSixteenBits) {
  for (const int32_t length : {1, 1025}) EXPECT_EQ(CPowerFft().Configure(length), 0) << "L = " << length;
  for (const int32_t length : {80, 128, 220, 441, 512, 960, 1024}) {
    CPowerFft fft;
    const int32_t count = fft.Configure(length);
    // The smallest power of two of at least 128 that holds the frame, and half of it less one bin.
    ASSERT_TRUE(fft.Size() >= length && fft.Size() / 2 < std::max(length, 128)) << fft.Size();
    ASSERT_EQ(count, fft.Size() / 2 - 1);
    const double bound = 4.0 + (1.0 + std::sqrt(2.0)) * std::log2(fft.Size());
    const std::vector<std::vector<int16_t>> frames = {
        Cosine(length, 10.0 / fft.Size(), 8000.0),  // on bin 10
        Cosine(length, 0.1234, 300.0),              // between bins, quiet
        Cosine(length, 0.0, 32767.0),               // full-scale DC
        Cosine(length, 0.5, 32767.0),               // full-scale alternation, the top bin
        FullScaleNoise(length, static_cast<uint32_t>(length)),
        std::vector<int16_t>(static_cast<size_t>(length), 0),  // silence: no power at all
    };
    for (size_t f = 0; f < frames.size(); ++f) {
      std::vector<int32_t> power(static_cast<size_t>(count), -1);
      fft.Transform(frames[f].data(), power.data());
      const std::vector<double> reference = ReferenceMagnitudes(frames[f], fft.Size(), count);
      for (int32_t k = 0; k < count; ++k) {
        ASSERT_GE(power[k], 0) << "L = " << length << ", frame " << f << ", bin " << k;
        if (f + 1 == frames.size()) {
          ASSERT_EQ(power[k], 0) << "L = " << length << ", bin " << k;
        }
        EXPECT_NEAR(std::sqrt(static_cast<double>(power[k])), reference[k], bound)
            << "L = " << length << ", frame " << f << ", bin " << k;
      }
    }
  }
}

// A loud, quiet-crossing frame record, as the sound analysis makes for a vowel.
FrameFeature LoudFrame() { return FrameFeature{1.0e7f, 0, 10, kFrameLoud}; }

// Harmonics 1..count of f0 with amplitudes 1/k, peak about 8000, starting at sample `onset`.
std::vector<int16_t> Harmonic(uint32_t rate, double f0, int count, size_t onset = 0) {
  return testing::Harmonic(rate / f0, count, 4096, 5000.0, onset);
}

// Analyses exactly FrameLength() samples of `frame`: the sanitizer builds check that no step reads
// beyond them.
FrameResult Analyze(uint32_t rate, std::vector<int16_t> frame, const FrameFeature& feature,
                    int32_t reference_pitch = 0) {
  CFrameAnalyzer analyzer;
  analyzer.Configure(MakePcmFormat(1, rate, 16), reference_pitch);
  frame.resize(static_cast<size_t>(analyzer.FrameLength()));
  FrameResult result;
  analyzer.AnalyzeFrame(frame.data(), feature, result);
  return result;
}

TEST(FrameAnalyzer, PeriodicFramesGiveTheirPitch) {
  struct Case {
    const char* name;
    uint32_t rate;
    double f0;
    int harmonics, reference_pitch, pitch;
  };
  const Case cases[] = {
      {"44100/220 Hz tone", 44100, 44100.0 / 220.0, 1, 0, 200},
      // Period 220.5 samples: lag 441 (two periods) matches best, but the pitch is not an octave low.
      {"200 Hz tone", 44100, 200.0, 1, 0, 200},
      {"8000 Hz, 200 Hz vowel-like", 8000, 200.0, 5, 0, 200},
      // Integer lags: 150 Hz is a lag of 53.3 at 8000 Hz.
      {"8000 Hz, 150 Hz", 8000, 150.0, 3, 0, 150},
      {"96000 Hz, 200 Hz", 96000, 200.0, 3, 0, 200},
      {"reference pitch 150", 22050, 150.0, 3, 150, 150},
  };
  for (const Case& c : cases) {
    const FrameResult result = Analyze(c.rate, Harmonic(c.rate, c.f0, c.harmonics), LoudFrame(), c.reference_pitch);
    EXPECT_EQ(result.pitch_hz, c.pitch) << c.name;
    ASSERT_FALSE(result.candidates.empty()) << c.name;
    EXPECT_GE(result.periodicity, 3.2f) << c.name;
    EXPECT_FALSE(result.silent) << c.name;
  }
}

TEST(FrameAnalyzer, GatesMakeLoudNoiseQuietFramesAndOnsetsUnvoicedAndSilentStepsLevelOnly) {
  const std::vector<int16_t> tone = Harmonic(44100, 300.0, 1);
  struct Case {
    const char* name;
    std::vector<int16_t> frame;
    float energy;
    uint16_t crossings, pitch;
    int32_t frame_class;
  };
  const Case cases[] = {
      {"periodic, 49 crossings", tone, 1.0e7f, 49, 300, kFrameLoud},
      // The crossing count gates, whatever the periodicity.
      {"periodic, 50 crossings", tone, 1.0e7f, 50, 0, kFrameLoud},
      {"periodic, too quiet", tone, 300000.0f, 10, 0, kFrameLoud},
      {"white noise", samples::WhiteNoise(44100, 30, 8000.0f, 3), 1.0e7f, 10, 0, kFrameLoud},
      // Silent first half: the shortest lags match best and the second half is far louder.
      {"tone starting mid-frame", Harmonic(44100, 300.0, 1, 400), 1.0e7f, 10, 0, kFrameLoud},
      // A silent step keeps its level only, whatever its samples hold.
      {"silent step", tone, 99.0f, 3, 0, kFrameSilence},
  };
  for (const Case& c : cases) {
    const FrameResult result = Analyze(44100, c.frame, FrameFeature{c.energy, 0, c.crossings, c.frame_class});
    const bool silent = c.frame_class == kFrameSilence;
    EXPECT_EQ(result.pitch_hz, c.pitch) << c.name;
    EXPECT_EQ(result.candidates.empty(), c.pitch == 0) << c.name;
    EXPECT_EQ(result.log_spectrum.size(), silent ? 0u : 60u) << c.name;  // every step not silent has a spectrum
    EXPECT_EQ(result.silent, silent) << c.name;
    EXPECT_TRUE(!silent || result.periodicity == 0.0f) << c.name;
    EXPECT_GT(result.level_db, 19.0f) << c.name;
  }
}

}  // namespace
}  // namespace melvox

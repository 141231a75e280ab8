#include "analysis/power_fft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace melvox

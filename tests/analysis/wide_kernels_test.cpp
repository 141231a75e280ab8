// The kernels chosen at run time give the portable kernels' values, which are the plain definitions.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/amdf.h"
#include "analysis/cpu_features.h"
#include "analysis/fft_butterflies.h"

namespace melvox {
namespace {

// Full-scale samples, a quarter of them the most negative value: the largest terms and products.
std::vector<int16_t> Samples(size_t count, std::mt19937& random) {
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<int16_t> samples(count);
  for (int16_t& value : samples) value = static_cast<int16_t>(random() % 4 == 0 ? -32768 : sample(random));
  return samples;
}

// Shapes that take every path: whole blocks of 32 and of 8 lags, a tail of fewer than 8, fewer than 8
// lags in all, and the 22050 Hz and 44100 Hz shapes (window 110, lags 50 .. 367; 220, 100 .. 735).
TEST(WideKernels, AmdfGivesThePortableSumsAndExtremes) {
  const struct {
    int32_t window, min_lag, lag_count;
  } shapes[] = {{1, 1, 1}, {5, 3, 7}, {40, 18, 8}, {40, 18, 33}, {110, 50, 317}, {220, 100, 635}, {2000, 4, 71}};
  std::mt19937 random(5);
  for (const auto& shape : shapes) {
    const std::vector<int16_t> frame = Samples(size_t(shape.window + shape.min_lag + shape.lag_count - 1), random);
    std::vector<int32_t> portable(static_cast<size_t>(shape.lag_count));
    AmdfPortable(frame.data(), shape.window, shape.min_lag, shape.lag_count, portable.data());
    for (const int32_t k : {0, shape.lag_count - 1}) {
      int32_t sum = 0;
      for (int32_t j = 0; j < shape.window; ++j) sum += std::abs(frame[j] - frame[j + shape.min_lag + k]);
      EXPECT_EQ(portable[k], sum) << shape.window << " " << k;
    }
    if (!HasAvx2()) continue;
    std::vector<int32_t> avx2(portable.size());
    AmdfAvx2(frame.data(), shape.window, shape.min_lag, shape.lag_count, avx2.data());
    EXPECT_EQ(avx2, portable) << "window " << shape.window << ", lags " << shape.lag_count;
    // The extremes, the minimum also tied at the far end: the first index of it counts.
    std::vector<int32_t> tied = portable;
    tied.back() = *std::min_element(tied.begin(), tied.end());
    for (const std::vector<int32_t>* d : {&portable, &tied}) {
      const AmdfExtremes wide = AmdfExtremesAvx2(d->data(), shape.lag_count);
      const AmdfExtremes plain = AmdfExtremesPortable(d->data(), shape.lag_count);
      EXPECT_EQ(wide.min_index, plain.min_index) << "lags " << shape.lag_count;
      EXPECT_EQ(wide.max, plain.max) << "lags " << shape.lag_count;
    }
  }
}

// Every span the transform has (1 .. 256) over at least 64 points, with twiddles up to 32768 (1.0)
// of either sign: sums that leave 16 bits must wrap as the portable kernel's casts do.
TEST(WideKernels, ButterfliesGiveThePortableValues) {
  if (!HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  std::mt19937 random(9);
  for (const int32_t span : {1, 2, 4, 8, 16, 64, 256}) {
    const int32_t groups = std::max(2, 32 / span);
    const std::vector<int16_t> re = Samples(size_t(groups * 2 * span), random), im = Samples(re.size(), random);
    std::vector<int32_t> cos(static_cast<size_t>(span)), sin(cos.size());
    for (int32_t j = 0; j < span; ++j) {
      cos[j] = j == 0 ? 32768 : static_cast<int32_t>(random() % 65537) - 32768;
      sin[j] = j == 1 ? -32768 : static_cast<int32_t>(random() % 65537) - 32768;
    }
    std::vector<int16_t> re_portable = re, im_portable = im, re_avx2 = re, im_avx2 = im;
    ButterfliesPortable(re_portable.data(), im_portable.data(), span, groups, cos.data(), sin.data());
    ButterfliesAvx2(re_avx2.data(), im_avx2.data(), span, groups, cos.data(), sin.data());
    EXPECT_EQ(re_avx2, re_portable) << "span " << span;
    EXPECT_EQ(im_avx2, im_portable) << "span " << span;
  }
}

}  // namespace
}  // namespace melvox

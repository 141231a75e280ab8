// The kernels chosen at run time give the portable kernels' values bit for bit.
#include <algorithm>
#include <array>
#include <cstdint>
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
  std::vector<int16_t> samples(count);
  for (int16_t& value : samples) value = static_cast<int16_t>(random() % 4 == 0 ? -32768 : random() % 65536);
  return samples;
}

// AMDF shapes that take every path (blocks of 32 and of 8 lags, a tail, fewer than 8 lags, the 22050
// and 44100 Hz shapes), its extremes with a tied minimum at the far end, and every butterfly span of
// the transform (1 .. 256) over at least 64 points, with twiddles of 32768 (1.0) of either sign.
TEST(WideKernels, GiveThePortableValues) {
  if (!HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  std::mt19937 random(5);
  for (const auto [window, min_lag, lags] : {std::array<int32_t, 3>{1, 1, 1},
                                             {5, 3, 7},
                                             {40, 18, 8},
                                             {40, 18, 33},
                                             {110, 50, 317},
                                             {220, 100, 635},
                                             {2000, 4, 71}}) {
    const std::vector<int16_t> frame = Samples(size_t(window + min_lag + lags - 1), random);
    std::vector<int32_t> portable(static_cast<size_t>(lags)), wide(portable.size());
    AmdfPortable(frame.data(), window, min_lag, lags, portable.data());
    AmdfAvx2(frame.data(), window, min_lag, lags, wide.data());
    EXPECT_EQ(wide, portable) << "window " << window << ", lags " << lags;
    for (const bool tied : {false, true}) {
      if (tied) portable.back() = *std::min_element(portable.begin(), portable.end());
      const AmdfExtremes a = AmdfExtremesAvx2(portable.data(), lags), b = AmdfExtremesPortable(portable.data(), lags);
      EXPECT_EQ(std::make_pair(a.min_index, a.max), std::make_pair(b.min_index, b.max)) << "lags " << lags;
    }
  }
  for (const int32_t span : {1, 2, 4, 8, 16, 64, 256}) {
    const int32_t groups = std::max(2, 32 / span);
    const std::vector<int16_t> re = Samples(size_t(groups * 2 * span), random), im = Samples(re.size(), random);
    std::vector<int32_t> cos(static_cast<size_t>(span)), sin(cos.size());
    for (int32_t j = 0; j < span; ++j) {
      cos[j] = j == 0 ? 32768 : static_cast<int32_t>(random() % 65537) - 32768;
      sin[j] = j == 1 ? -32768 : static_cast<int32_t>(random() % 65537) - 32768;
    }
    std::vector<int16_t> re_portable = re, im_portable = im, re_wide = re, im_wide = im;
    ButterfliesPortable(re_portable.data(), im_portable.data(), span, groups, cos.data(), sin.data());
    ButterfliesAvx2(re_wide.data(), im_wide.data(), span, groups, cos.data(), sin.data());
    EXPECT_EQ(re_wide, re_portable) << "span " << span;
    EXPECT_EQ(im_wide, im_portable) << "span " << span;
  }
}

}  // namespace
}  // namespace melvox

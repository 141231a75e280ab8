#include <algorithm>
#include <cstdlib>

#include "analysis/amdf.h"

namespace melvox {

void AmdfPortable(const int16_t* frame, int32_t window, int32_t min_lag, int32_t lag_count, int32_t* out) {
  // Eight lags at a time, so that the compiler keeps the eight sums in vector registers and turns the
  // inner loop into a few vector instructions per sample.
  constexpr int32_t kLanes = 8;
  int32_t k = 0;
  for (; k + kLanes <= lag_count; k += kLanes) {
    const int16_t* shifted = frame + min_lag + k;
    int32_t sums[kLanes] = {};
    for (int32_t j = 0; j < window; ++j) {
      const int32_t sample = frame[j];
      for (int32_t lane = 0; lane < kLanes; ++lane) sums[lane] += std::abs(sample - int32_t{shifted[j + lane]});
    }
    std::copy(sums, sums + kLanes, out + k);
  }
  for (; k < lag_count; ++k) {
    const int16_t* shifted = frame + min_lag + k;
    int32_t sum = 0;
    for (int32_t j = 0; j < window; ++j) sum += std::abs(int32_t{frame[j]} - int32_t{shifted[j]});
    out[k] = sum;
  }
}

AmdfExtremes AmdfExtremesPortable(const int32_t* d, int32_t n) {
  AmdfExtremes extremes{0, d[0]};
  for (int32_t k = 1; k < n; ++k) {
    if (d[k] < d[extremes.min_index]) extremes.min_index = k;
    if (d[k] > extremes.max) extremes.max = d[k];
  }
  return extremes;
}

}  // namespace melvox

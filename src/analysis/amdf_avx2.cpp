// The AVX2 kernels exist on x86 only; elsewhere HasAvx2() is false and these names stand for the
// portable kernels, so the dispatch compiles everywhere.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <algorithm>

#include "analysis/amdf.h"

namespace melvox {
namespace {

// |x - frame[j + lag .. j + lag + 7]| added to the eight sums of the lags lag .. lag + 7.
__attribute__((target("avx2"))) inline __m256i AddDifferences(__m256i sums, __m256i x, const int16_t* shifted) {
  const __m256i y = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(shifted)));
  return _mm256_add_epi32(sums, _mm256_abs_epi32(_mm256_sub_epi32(x, y)));
}

__attribute__((target("avx2"))) inline void Store(int32_t* out, __m256i sums) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), sums);
}

}  // namespace

__attribute__((target("avx2"))) void AmdfAvx2(const int16_t* frame, int32_t window, int32_t min_lag, int32_t lag_count,
                                              int32_t* out) {
  int32_t k = 0;
  // 32 lags per pass over the window: one broadcast sample serves four registers of sums.
  for (; k + 32 <= lag_count; k += 32) {
    const int16_t* shifted = frame + min_lag + k;
    __m256i s0 = _mm256_setzero_si256(), s1 = s0, s2 = s0, s3 = s0;
    for (int32_t j = 0; j < window; ++j) {
      const __m256i x = _mm256_set1_epi32(frame[j]);
      s0 = AddDifferences(s0, x, shifted + j);
      s1 = AddDifferences(s1, x, shifted + j + 8);
      s2 = AddDifferences(s2, x, shifted + j + 16);
      s3 = AddDifferences(s3, x, shifted + j + 24);
    }
    Store(out + k, s0);
    Store(out + k + 8, s1);
    Store(out + k + 16, s2);
    Store(out + k + 24, s3);
  }
  for (; k + 8 <= lag_count; k += 8) {
    const int16_t* shifted = frame + min_lag + k;
    __m256i sums = _mm256_setzero_si256();
    for (int32_t j = 0; j < window; ++j) sums = AddDifferences(sums, _mm256_set1_epi32(frame[j]), shifted + j);
    Store(out + k, sums);
  }
  // The last lags, fewer than eight: the eight lags that end with them again (the sums are exact, so
  // the lags done twice get the same values), or the portable kernel when there are not eight lags.
  if (k < lag_count && lag_count >= 8) {
    AmdfAvx2(frame, window, min_lag + lag_count - 8, 8, out + lag_count - 8);
  } else if (k < lag_count) {
    AmdfPortable(frame, window, min_lag + k, lag_count - k, out + k);
  }
}

__attribute__((target("avx2"))) AmdfExtremes AmdfExtremesAvx2(const int32_t* d, int32_t n) {
  // The minimum and maximum values first, eight lanes at a time, then the first index of the minimum.
  __m256i low = _mm256_set1_epi32(d[0]);
  __m256i high = low;
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + k));
    low = _mm256_min_epi32(low, v);
    high = _mm256_max_epi32(high, v);
  }
  alignas(32) int32_t lows[8];
  alignas(32) int32_t highs[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lows), low);
  _mm256_store_si256(reinterpret_cast<__m256i*>(highs), high);
  int32_t minimum = lows[0];
  AmdfExtremes extremes{0, highs[0]};
  for (int32_t lane = 1; lane < 8; ++lane) {
    minimum = std::min(minimum, lows[lane]);
    extremes.max = std::max(extremes.max, highs[lane]);
  }
  for (; k < n; ++k) {
    minimum = std::min(minimum, d[k]);
    extremes.max = std::max(extremes.max, d[k]);
  }
  const __m256i target = _mm256_set1_epi32(minimum);
  for (k = 0; k + 8 <= n; k += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + k));
    const int mask = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(v, target)));
    if (mask != 0) {
      extremes.min_index = k + __builtin_ctz(static_cast<unsigned>(mask));
      return extremes;
    }
  }
  while (d[k] != minimum) ++k;
  extremes.min_index = k;
  return extremes;
}

}  // namespace melvox

#else  // not x86

#include "analysis/amdf.h"

namespace melvox {

void AmdfAvx2(const int16_t* frame, int32_t window, int32_t min_lag, int32_t lag_count, int32_t* out) {
  AmdfPortable(frame, window, min_lag, lag_count, out);
}

AmdfExtremes AmdfExtremesAvx2(const int32_t* d, int32_t n) { return AmdfExtremesPortable(d, n); }

}  // namespace melvox

#endif

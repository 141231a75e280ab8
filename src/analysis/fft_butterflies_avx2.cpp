#include <immintrin.h>

#include "analysis/fft_butterflies.h"

namespace melvox {
namespace {

__attribute__((target("avx2"))) inline __m256i Load16(const int16_t* p) {
  return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The low 16 bits of eight 32-bit values, as a cast to int16_t keeps them.
__attribute__((target("avx2"))) inline void Store16(int16_t* p, __m256i v) {
  const __m256i low = _mm256_and_si256(v, _mm256_set1_epi32(0xffff));
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(low, low), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
}

__attribute__((target("avx2"))) inline __m256i MulQ15(__m256i x, __m256i w) {
  return _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(x, w), _mm256_set1_epi32(16384)), 15);
}

// Eight butterflies: points 0..7 against span..span + 7.
__attribute__((target("avx2"))) inline void Butterflies8(int16_t* re, int16_t* im, int32_t span, const int32_t* cos,
                                                         const int32_t* sin) {
  const __m256i ur = Load16(re);
  const __m256i ui = Load16(im);
  const __m256i vr = Load16(re + span);
  const __m256i vi = Load16(im + span);
  Store16(re, _mm256_srai_epi32(_mm256_add_epi32(ur, vr), 1));
  Store16(im, _mm256_srai_epi32(_mm256_add_epi32(ui, vi), 1));
  const __m256i dr = _mm256_srai_epi32(_mm256_sub_epi32(ur, vr), 1);
  const __m256i di = _mm256_srai_epi32(_mm256_sub_epi32(ui, vi), 1);
  const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cos));
  const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sin));
  Store16(re + span, _mm256_add_epi32(MulQ15(dr, c), MulQ15(di, s)));
  Store16(im + span, _mm256_sub_epi32(MulQ15(di, c), MulQ15(dr, s)));
}

}  // namespace

__attribute__((target("avx2"))) void ButterfliesAvx2(int16_t* re, int16_t* im, int32_t span, int32_t groups,
                                                     const int32_t* cos, const int32_t* sin) {
  for (int32_t start = 0; start < groups * 2 * span; start += 2 * span) {
    for (int32_t j = 0; j < span; j += 8) Butterflies8(re + start + j, im + start + j, span, cos + j, sin + j);
  }
}

}  // namespace melvox

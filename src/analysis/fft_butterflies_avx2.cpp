// The AVX2 kernels exist on x86 only; elsewhere HasAvx2() is false and these names stand for the
// portable kernels, so the dispatch compiles everywhere.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <cstring>

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

// Eight butterflies on 32-bit lanes: u and v (real and imaginary) become u' and v'.
struct Lanes {
  __m256i ur, ui, vr, vi;
};
__attribute__((target("avx2"))) inline void Butterflies(Lanes& x, __m256i c, __m256i s) {
  const __m256i dr = _mm256_srai_epi32(_mm256_sub_epi32(x.ur, x.vr), 1);
  const __m256i di = _mm256_srai_epi32(_mm256_sub_epi32(x.ui, x.vi), 1);
  x.ur = _mm256_srai_epi32(_mm256_add_epi32(x.ur, x.vr), 1);
  x.ui = _mm256_srai_epi32(_mm256_add_epi32(x.ui, x.vi), 1);
  x.vr = _mm256_add_epi32(MulQ15(dr, c), MulQ15(di, s));
  x.vi = _mm256_sub_epi32(MulQ15(di, c), MulQ15(dr, s));
}

// Sixteen points of groups of 2 x span points (span 1, 2 or 4) as eight u and eight v lanes, and back.
// `pair` holds points 0..7 and 8..15 widened; the lanes of u and v keep the order of the twiddles.
template <int32_t kSpan>
__attribute__((target("avx2"))) inline void Split(__m256i first, __m256i second, __m256i& u, __m256i& v) {
  if (kSpan == 4) {  // a a a a b b b b: the 128-bit halves
    u = _mm256_permute2x128_si256(first, second, 0x20);
    v = _mm256_permute2x128_si256(first, second, 0x31);
  } else if (kSpan == 2) {  // a a b b: the 64-bit quarters
    u = _mm256_unpacklo_epi64(first, second);
    v = _mm256_unpackhi_epi64(first, second);
  } else {  // a b: even and odd lanes, gathered into 64-bit quarters first
    const __m256i f = _mm256_shuffle_epi32(first, 0xd8);
    const __m256i s = _mm256_shuffle_epi32(second, 0xd8);
    u = _mm256_unpacklo_epi64(f, s);
    v = _mm256_unpackhi_epi64(f, s);
  }
}
template <int32_t kSpan>
__attribute__((target("avx2"))) inline void Join(__m256i u, __m256i v, __m256i& first, __m256i& second) {
  if (kSpan == 4) {
    first = _mm256_permute2x128_si256(u, v, 0x20);
    second = _mm256_permute2x128_si256(u, v, 0x31);
  } else if (kSpan == 2) {
    first = _mm256_unpacklo_epi64(u, v);
    second = _mm256_unpackhi_epi64(u, v);
  } else {
    first = _mm256_shuffle_epi32(_mm256_unpacklo_epi64(u, v), 0xd8);
    second = _mm256_shuffle_epi32(_mm256_unpackhi_epi64(u, v), 0xd8);
  }
}

// The span's twiddles repeated over eight lanes.
template <int32_t kSpan>
__attribute__((target("avx2"))) inline __m256i Repeated(const int32_t* t) {
  if (kSpan == 4) return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)));
  if (kSpan == 2) {
    int64_t two;
    std::memcpy(&two, t, sizeof two);
    return _mm256_set1_epi64x(two);
  }
  return _mm256_set1_epi32(t[0]);
}

template <int32_t kSpan>
__attribute__((target("avx2"))) void ShortSpans(int16_t* re, int16_t* im, int32_t points, const int32_t* cos,
                                                const int32_t* sin) {
  const __m256i c = Repeated<kSpan>(cos);
  const __m256i s = Repeated<kSpan>(sin);
  for (int32_t start = 0; start < points; start += 16) {
    Lanes x;
    Split<kSpan>(Load16(re + start), Load16(re + start + 8), x.ur, x.vr);
    Split<kSpan>(Load16(im + start), Load16(im + start + 8), x.ui, x.vi);
    Butterflies(x, c, s);
    __m256i first, second;
    Join<kSpan>(x.ur, x.vr, first, second);
    Store16(re + start, first);
    Store16(re + start + 8, second);
    Join<kSpan>(x.ui, x.vi, first, second);
    Store16(im + start, first);
    Store16(im + start + 8, second);
  }
}

}  // namespace

__attribute__((target("avx2"))) void ButterfliesAvx2(int16_t* re, int16_t* im, int32_t span, int32_t groups,
                                                     const int32_t* cos, const int32_t* sin) {
  const int32_t points = groups * 2 * span;
  if (span == 4) return ShortSpans<4>(re, im, points, cos, sin);
  if (span == 2) return ShortSpans<2>(re, im, points, cos, sin);
  if (span == 1) return ShortSpans<1>(re, im, points, cos, sin);
  for (int32_t start = 0; start < points; start += 2 * span) {
    for (int32_t j = 0; j < span; j += 8) {
      int16_t* r = re + start + j;
      int16_t* i = im + start + j;
      Lanes x{Load16(r), Load16(i), Load16(r + span), Load16(i + span)};
      Butterflies(x, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cos + j)),
                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sin + j)));
      Store16(r, x.ur);
      Store16(i, x.ui);
      Store16(r + span, x.vr);
      Store16(i + span, x.vi);
    }
  }
}

}  // namespace melvox

#else  // not x86

#include "analysis/fft_butterflies.h"

namespace melvox {

void ButterfliesAvx2(int16_t* re, int16_t* im, int32_t span, int32_t groups, const int32_t* cos, const int32_t* sin) {
  ButterfliesPortable(re, im, span, groups, cos, sin);
}

}  // namespace melvox

#endif

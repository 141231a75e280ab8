#include "analysis/fft_butterflies.h"

namespace melvox {
namespace {

// x * w / 32768 rounded to nearest, for a Q15 constant w.
inline int32_t MulQ15(int32_t x, int32_t w) { return (x * w + 16384) >> 15; }

// The butterflies of one group: points a < span against a + span.
inline void Group(int16_t* re, int16_t* im, int32_t span, const int32_t* cos, const int32_t* sin) {
  for (int32_t a = 0; a < span; ++a) {
    const int32_t b = a + span;
    const int32_t ur = re[a];
    const int32_t ui = im[a];
    const int32_t vr = re[b];
    const int32_t vi = im[b];
    re[a] = static_cast<int16_t>((ur + vr) >> 1);
    im[a] = static_cast<int16_t>((ui + vi) >> 1);
    const int32_t dr = (ur - vr) >> 1;
    const int32_t di = (ui - vi) >> 1;
    // (dr + i di)(c - i s)
    re[b] = static_cast<int16_t>(MulQ15(dr, cos[a]) + MulQ15(di, sin[a]));
    im[b] = static_cast<int16_t>(MulQ15(di, cos[a]) - MulQ15(dr, sin[a]));
  }
}

}  // namespace

void ButterfliesPortable(int16_t* re, int16_t* im, int32_t span, int32_t groups, const int32_t* cos,
                         const int32_t* sin) {
  for (int32_t start = 0; start < groups * 2 * span; start += 2 * span) Group(re + start, im + start, span, cos, sin);
}

}  // namespace melvox

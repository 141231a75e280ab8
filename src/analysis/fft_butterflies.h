// The butterflies of one stage of the fixed-point transform in CPowerFft: one kernel per instruction
// set, each in its own file, all giving the same values.
#pragma once

#include <cstdint>

namespace melvox {

// In each of `groups` consecutive groups of 2 x span points, for j < span, with a = j and b = j + span
// within the group, and the stage's twiddles cos[j], sin[j] (Q15):
//   re[a], im[a] = (u + v) / 2 (u = point a, v = point b, shifted right), d = (u - v) / 2 likewise,
//   re[b], im[b] = d (cos[j] - i sin[j]), each product rounded to nearest by MulQ15 and the sums
// stored in 16 bits (wrapping, like a cast).
using ButterflyKernel = void (*)(int16_t* re, int16_t* im, int32_t span, int32_t groups, const int32_t* cos,
                                 const int32_t* sin);

// Plain C++, one pair at a time.
void ButterfliesPortable(int16_t* re, int16_t* im, int32_t span, int32_t groups, const int32_t* cos,
                         const int32_t* sin);

// AVX2: eight pairs at a time, for spans that are a multiple of 8, and for spans of 1, 2 and 4 when
// the groups hold a multiple of 16 points (the lanes then take pairs of several groups). Only where
// HasAvx2().
void ButterfliesAvx2(int16_t* re, int16_t* im, int32_t span, int32_t groups, const int32_t* cos, const int32_t* sin);

}  // namespace melvox

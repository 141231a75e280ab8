// The average magnitude difference function (AMDF) of one frame and the search for its extremes, the
// inner loops of the pitch search: one file of kernels per instruction set, all giving the same values.
#pragma once

#include <cstdint>

namespace melvox {

// out[k] = sum over j < window of |frame[j] - frame[j + min_lag + k]| for k < lag_count: reads
// frame[0 .. window + min_lag + lag_count - 2]. Every sum is exact in 32 bits for windows of up to
// 32768 samples (each term is below 2^16).
using AmdfKernel = void (*)(const int16_t* frame, int32_t window, int32_t min_lag, int32_t lag_count, int32_t* out);

// Plain C++ that the compiler vectorises for the baseline instruction set (SSE2 on x86-64).
void AmdfPortable(const int16_t* frame, int32_t window, int32_t min_lag, int32_t lag_count, int32_t* out);

// AVX2: 32 lags at a time in four 8-lane registers. Only where HasAvx2().
void AmdfAvx2(const int16_t* frame, int32_t window, int32_t min_lag, int32_t lag_count, int32_t* out);

// The smallest and largest of n >= 1 AMDF values: the first index of the minimum, and the maximum.
struct AmdfExtremes {
  int32_t min_index = 0;
  int32_t max = 0;
};
using ExtremesKernel = AmdfExtremes (*)(const int32_t* d, int32_t n);
AmdfExtremes AmdfExtremesPortable(const int32_t* d, int32_t n);
// Eight values at a time; only where HasAvx2().
AmdfExtremes AmdfExtremesAvx2(const int32_t* d, int32_t n);

// The fastest kernels this processor runs, chosen once per process.
AmdfKernel BestAmdfKernel();
ExtremesKernel BestExtremesKernel();

}  // namespace melvox

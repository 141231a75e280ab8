// The average magnitude difference function (AMDF) of one frame, the inner loop of the pitch search:
// one kernel per instruction set, each in its own file, all giving the same sums.
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

// The fastest kernel this processor runs, chosen once per process.
AmdfKernel BestAmdfKernel();

}  // namespace melvox

// What the processor offers beyond the baseline instruction set, for the kernels chosen at run time.
#pragma once

namespace melvox {

// True when the processor runs AVX2 instructions. Any thread.
bool HasAvx2();

}  // namespace melvox

#include "analysis/cpu_features.h"

namespace melvox {

bool HasAvx2() { return __builtin_cpu_supports("avx2"); }

}  // namespace melvox

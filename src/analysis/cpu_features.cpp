#include "analysis/cpu_features.h"

namespace melvox {

bool HasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace melvox

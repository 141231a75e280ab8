#include "analysis/amdf.h"

#include "analysis/cpu_features.h"

namespace melvox {

AmdfKernel BestAmdfKernel() {
  static const AmdfKernel kernel = HasAvx2() ? AmdfAvx2 : AmdfPortable;
  return kernel;
}

ExtremesKernel BestExtremesKernel() {
  static const ExtremesKernel kernel = HasAvx2() ? AmdfExtremesAvx2 : AmdfExtremesPortable;
  return kernel;
}

}  // namespace melvox

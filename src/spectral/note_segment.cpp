#include "spectral/note_segment.h"

#include <utility>

namespace melvox {

CNoteSegment::CNoteSegment(int32_t start_ms, int32_t end_ms, std::vector<SpectralPeak> peaks)
    : peaks_(std::move(peaks)) {
  SetStart(start_ms);
  SetEnd(end_ms);
}

}  // namespace melvox

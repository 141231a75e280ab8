#include "graph/graph_type.h"

#include "graph/crossing_view.h"
#include "graph/envelope_view.h"
#include "graph/pitch_view.h"
#include "graph/spectrum_view.h"

namespace melvox {

std::unique_ptr<CGraphView> MakeGraphView(int32_t type, const platform::RECT& area, platform::Window* window) {
  switch (type) {
    case GRAPH_ENVELOPE:
      return std::make_unique<CEnvelopeView>(area, window);
    case GRAPH_CROSSING:
      return std::make_unique<CCrossingView>(area, window);
    case GRAPH_PITCH:
      return std::make_unique<CPitchView>(area, window);
    case GRAPH_SPECTRUM:
      return std::make_unique<CSpectrumView>(area, window);
    default:
      return nullptr;
  }
}

}  // namespace melvox

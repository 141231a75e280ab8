// The four graph types: one bit each of a flags byte, the key of a graph manager's windows.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "graph/graph_view.h"

namespace melvox {

enum GraphType : int32_t {
  GRAPH_ENVELOPE = 1,  // CEnvelopeView: peak envelope as symmetric bars
  GRAPH_CROSSING = 2,  // CCrossingView: zero crossings of the loud, noisy parts
  GRAPH_PITCH = 4,     // CPitchView: pitch contour
  GRAPH_SPECTRUM = 8,  // CSpectrumView: spectral colour bars
};

// The order in which graphs are made and shown one above the other.
constexpr std::array<GraphType, 4> kGraphOrder{GRAPH_ENVELOPE, GRAPH_PITCH, GRAPH_CROSSING, GRAPH_SPECTRUM};

// The view of a type, for the area and window given; null for anything but the four types.
std::unique_ptr<CGraphView> MakeGraphView(int32_t type, const platform::RECT& area, platform::Window* window);

}  // namespace melvox

// The four graph types (GraphType, one bit each of a flags byte: the key of a graph manager's windows)
// and the view of each.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "graph/graph_view.h"
#include "melvox/graphic_manager.h"

namespace melvox {

// The order in which graphs are made and shown one above the other.
constexpr std::array<GraphType, 4> kGraphOrder{GRAPH_ENVELOPE, GRAPH_PITCH, GRAPH_CROSSING, GRAPH_SPECTRUM};

// The view of a type, for the area and window given; null for anything but the four types.
std::unique_ptr<CGraphView> MakeGraphView(int32_t type, const platform::RECT& area, platform::Window* window);

}  // namespace melvox

// DrawGraphPicture: the graphs of a sound drawn by their views in headless windows, one above the
// other, as one picture (what `melvox graph` writes and the graph benchmark measures).
#pragma once

#include <cstdint>

#include "platform/bitmap.h"
#include "sound/sound_node.h"

namespace melvox {

// Each graph whose type bit is set in types (other bits ignored) is drawn by its graph window, given
// sound and option as a graph manager gives them, in a window of width x height pixels; the windows lie in the
// order envelope, pitch, crossing, spectrum with one white row between two. Returns the composed
// pixels of their parent: width x (n x height + n - 1) for n graphs, 0 x 0 for none. Throws what the
// views throw (the analysis refuses some formats) and std::invalid_argument for a size the bitmaps
// refuse.
//
// Threading: any thread; it makes its own window system and dispatches its messages itself.
platform::Bitmap DrawGraphPicture(CSoundNode* sound, uint32_t types, int32_t width, int32_t height, int32_t option);

}  // namespace melvox

// PrepareSlowed: the slowed version of a sound that the player and the graph manager keep beside it.
#pragma once

#include <cstdint>
#include <memory>

#include "sound/counted_ptr.h"
#include "sound/sound_node.h"

namespace melvox {

// Decodes the whole source (after a Rewind), analyses it for its pitch contour and stretches it by
// whole pitch periods to (100 - level) / 100 times its length, level in -200..-1 (-10: 1.1 times,
// -100: twice). Returns a memory source over the slowed sound, or an empty holder when no slowed sound
// can be made: a level outside -200..-1, or a sound the analysis does not take (a sample rate outside
// 8000..96000 Hz), so the original still plays.
CountedPtr<CSoundSource> PrepareSlowed(CSoundSource& source, int32_t level);

// The wave that PrepareSlowed's source serves, without the source: what its GetWave would copy out
// (the whole block, the sample count taken from its size), for a caller that only writes it. Null
// where PrepareSlowed gives an empty holder.
std::unique_ptr<CWave> MakeSlowedWave(CSoundSource& source, int32_t level);

}  // namespace melvox

// Opening the sounds that the public analysis functions take (SoundInput): a file, or samples held
// by the host.
#pragma once

#include <memory>

#include "melvox/analysis.h"
#include "sound/counted_ptr.h"
#include "sound/sound_node.h"
#include "sound/wave.h"

namespace melvox {

// The sound as a source: the file opened as the player opens it (CMVException 10 for a missing file,
// 9 for one that is not a sound), or a memory source over a copy of the samples. Samples with a rate
// of 0 are refused with CMVException 9.
CountedPtr<CSoundSource> OpenSoundInput(const SoundInput& sound);

// The whole sound decoded; CMVException 9 when the source gives no wave.
std::unique_ptr<CWave> LoadSoundInput(const SoundInput& sound);

}  // namespace melvox

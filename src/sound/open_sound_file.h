// OpenSoundFile: the one way the library opens a sound file.
#pragma once

#include <memory>

#include "sound/counted_ptr.h"
#include "sound/file_reader.h"
#include "sound/sound_node.h"

namespace melvox {

// Opens path: an Ogg Vorbis source when the file begins with "OggS", else a WAV source. Throws
// CMVException (10 for a missing or unreadable file, and the errors of the two sources).
CountedPtr<CSoundSource> OpenSoundFile(const char* path);

// The same over a reader that is already open (a file or bytes in memory); the source owns it.
CountedPtr<CSoundSource> OpenSoundFile(std::unique_ptr<CFileReader> reader);

}  // namespace melvox

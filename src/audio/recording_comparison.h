// The recorder's comparison of its recording with a reference sound file.
#pragma once

#include <cstdint>

namespace melvox {

// Opens both files (OpenSoundFile), decodes each whole, finds the start and end of the sound in each
// (DetectEndpoints) and returns CompareSources of the reference and the recording, each analysed over
// its detected part: a similarity in percent, 0 .. 100; 0 when either file gives no sound or either
// part is longer than 10 seconds. Throws the readers' and decoders' CMVException (a missing
// reference: 10, "Cannot open file").
int32_t CompareRecording(const char* reference_path, const char* recording_path);

}  // namespace melvox

// Writing a CWave as a PCM RIFF/WAVE file (8 or 16 bits, any rate and channel count).
#pragma once

#include <cstdint>

#include "platform/riff_writer.h"
#include "platform/wave_format.h"
#include "sound/wave.h"

namespace melvox {

// The bytes of the canonical WAV header: RIFF, "fmt " with a 16-byte PCM format record, "data".
constexpr uint32_t kWaveHeaderBytes = 44;

// Writes the canonical 44-byte header of a PCM WAV file at the file's current position: the RIFF
// chunk (its size counts the header after it, the data and the pad byte an odd data size needs), the
// 16 bytes of format, and the data chunk's header for data_bytes. False when it did not reach the file.
bool WriteWaveHeader(platform::RiffWriter& file, const WAVEFORMATEX& format, uint32_t data_bytes);

// Writes the wave's samples 0 .. sample count - 1 (whole frames, never past its block) with a 44-byte
// header, and a zero pad byte after an odd number of data bytes, as RIFF chunks are aligned to two.
// 8-bit samples are written as they are held: unsigned unless the wave's kind says signed, in which case
// they are turned unsigned, as the format requires. The file takes path's place only once it is
// complete (platform::ReplacingFile): path keeps what it held when writing fails, so a sound may be
// written over the file it was read from. Throws CMVException 10 when the file cannot be created, 11
// when writing fails, 8 for samples of other than 8 or 16 bits.
void WriteWaveFile(const char* path, const CWave& wave);

}  // namespace melvox

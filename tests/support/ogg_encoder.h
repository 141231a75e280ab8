// Ogg Vorbis fixtures, encoded with libvorbisenc.
#pragma once

#include <cstdint>
#include <vector>

namespace melvox::testing {

// Encodes interleaved 16-bit samples as one Ogg Vorbis stream (VBR at the given quality, -0.1..1).
// Throws std::runtime_error when the encoder refuses the rate or channel count.
std::vector<uint8_t> EncodeOggVorbis(const std::vector<int16_t>& interleaved, int channels, long rate,
                                     float quality = 0.4f);

}  // namespace melvox::testing

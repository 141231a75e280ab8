// A small mono IMA ADPCM encoder for test fixtures.
#pragma once

#include <cstdint>
#include <vector>

namespace melvox::testing {

// Encodes samples into blocks of block_align bytes: each block holds its first sample in the 4-byte
// header and 2 x (block_align - 4) more samples, low nibble first. A last partial block is padded with
// the final sample.
std::vector<uint8_t> EncodeImaAdpcm(const std::vector<int16_t>& samples, uint16_t block_align);

}  // namespace melvox::testing

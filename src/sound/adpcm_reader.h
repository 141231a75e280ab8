// CAdpcmReader: decodes a mono IMA ADPCM "data" chunk to 16-bit PCM once, when it is made, and then
// serves the frames from memory.
#pragma once

#include <cstdint>
#include <memory>

#include "sound/counted_ptr.h"
#include "sound/memory_source.h"
#include "sound/sound_node.h"

namespace melvox {

class CAdpcmReader : public CSampleDecoder {
 public:
  // Reads every whole block of block_align bytes from the source's data and decodes it. The source's
  // length must count (block_align - 4) x 2 frames per block and block_align must exceed 4.
  CAdpcmReader(CSoundSource* source, uint16_t channels, uint16_t block_align);

  void Reset() override;
  bool Read(void* buffer, uint32_t capacity, uint32_t& frames) override;

  // The decoded sound: 2 x block_align - 7 samples per block.
  const CWave* Decoded() const { return decoded_.Get(); }

 private:
  CSoundSource* source_;
  CountedPtr<CWave> decoded_;
  std::unique_ptr<CMemorySource> pcm_;
};

// Decodes one IMA ADPCM block of `bytes` bytes (4-byte header, then two samples per byte, low nibble
// first) into 2 x bytes - 7 samples. A step index outside 0..88 in the header stops the block after its
// first sample; the remaining samples are left untouched.
void DecodeImaAdpcmBlock(const uint8_t* block, uint32_t bytes, int16_t* samples);

}  // namespace melvox

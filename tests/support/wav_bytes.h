// Building the bytes of RIFF/WAVE files for tests and fuzz seeds, well-formed or deliberately not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace melvox::testing {

using Bytes = std::vector<uint8_t>;

Bytes SamplesToBytes(const std::vector<int16_t>& samples);

// The body of a "fmt " chunk: tag, channels, rate, average bytes per second, block align, bits, and
// for IMA ADPCM the extra size 2 and the samples per block.
Bytes FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t block_align, uint16_t bits);

// A RIFF/WAVE file made of the given chunks in order; the RIFF size is computed unless given.
class WavBuilder {
 public:
  WavBuilder& Chunk(const char* id, const Bytes& body);
  // A chunk header whose size field says `claimed` while only `body` follows.
  WavBuilder& ChunkClaiming(const char* id, uint32_t claimed, const Bytes& body);
  WavBuilder& Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t block_align, uint16_t bits);
  WavBuilder& Data(const Bytes& body) { return Chunk("data", body); }
  WavBuilder& FormType(const char* form) {
    form_ = form;
    return *this;
  }
  Bytes Build() const;

 private:
  Bytes chunks_;
  std::string form_ = "WAVE";
};

// Complete files.
Bytes PcmWav16(const std::vector<int16_t>& samples, uint32_t rate, uint16_t channels = 1);
Bytes PcmWav8(const std::vector<uint8_t>& samples, uint32_t rate);
Bytes AdpcmWav(const std::vector<int16_t>& samples, uint32_t rate, uint16_t block_align);

}  // namespace melvox::testing

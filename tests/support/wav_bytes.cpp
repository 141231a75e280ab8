#include "support/wav_bytes.h"

#include "support/ima_adpcm_encoder.h"

namespace melvox::testing {
namespace {

void AppendU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendU32(Bytes& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void AppendFourCc(Bytes& out, const char* code) { out.insert(out.end(), code, code + 4); }

}  // namespace

Bytes SamplesToBytes(const std::vector<int16_t>& samples) {
  Bytes out;
  out.reserve(samples.size() * 2);
  for (int16_t sample : samples) AppendU16(out, static_cast<uint16_t>(sample));
  return out;
}

Bytes FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t block_align, uint16_t bits) {
  Bytes body;
  AppendU16(body, tag);
  AppendU16(body, channels);
  AppendU32(body, rate);
  AppendU32(body, rate * block_align);
  AppendU16(body, block_align);
  AppendU16(body, bits);
  if (tag == 0x11) {
    AppendU16(body, 2);
    AppendU16(body, static_cast<uint16_t>((block_align - 4 * channels) * 8 / (4 * channels) + 1));
  }
  return body;
}

WavBuilder& WavBuilder::Chunk(const char* id, const Bytes& body) {
  return ChunkClaiming(id, static_cast<uint32_t>(body.size()), body);
}

WavBuilder& WavBuilder::ChunkClaiming(const char* id, uint32_t claimed, const Bytes& body) {
  AppendFourCc(chunks_, id);
  AppendU32(chunks_, claimed);
  chunks_.insert(chunks_.end(), body.begin(), body.end());
  return *this;
}

WavBuilder& WavBuilder::Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t block_align, uint16_t bits) {
  return Chunk("fmt ", FormatBody(tag, channels, rate, block_align, bits));
}

Bytes WavBuilder::Build() const {
  Bytes out;
  AppendFourCc(out, "RIFF");
  AppendU32(out, static_cast<uint32_t>(4 + chunks_.size()));
  AppendFourCc(out, form_.c_str());
  out.insert(out.end(), chunks_.begin(), chunks_.end());
  return out;
}

Bytes PcmWav16(const std::vector<int16_t>& samples, uint32_t rate, uint16_t channels) {
  return WavBuilder()
      .Format(1, channels, rate, static_cast<uint16_t>(2 * channels), 16)
      .Data(SamplesToBytes(samples))
      .Build();
}

Bytes PcmWav8(const std::vector<uint8_t>& samples, uint32_t rate) {
  return WavBuilder().Format(1, 1, rate, 1, 8).Data(Bytes(samples.begin(), samples.end())).Build();
}

Bytes AdpcmWav(const std::vector<int16_t>& samples, uint32_t rate, uint16_t block_align) {
  Bytes fact;
  AppendU32(fact, static_cast<uint32_t>(samples.size()));
  return WavBuilder()
      .Format(0x11, 1, rate, block_align, 4)
      .Chunk("fact", fact)
      .Data(EncodeImaAdpcm(samples, block_align))
      .Build();
}

}  // namespace melvox::testing

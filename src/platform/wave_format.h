// The PCM format record that every sound node presents, with its classic field names and layout.
#pragma once

#include <cstdint>

namespace melvox {

constexpr uint16_t WAVE_FORMAT_PCM = 0x0001;
constexpr uint16_t WAVE_FORMAT_IMA_ADPCM = 0x0011;

#pragma pack(push, 1)
// 18 bytes, packed, little-endian on disk: the layout of a WAV file's "fmt " chunk plus cbSize.
struct WAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX must be the 18-byte packed record");
// Samples and format records are read and written in memory order as the little-endian file layout.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "Melvox assumes a little-endian machine");

// A PCM format with nBlockAlign and nAvgBytesPerSec derived from the other fields.
inline WAVEFORMATEX MakePcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = channels;
  format.nSamplesPerSec = rate;
  format.wBitsPerSample = bits;
  format.nBlockAlign = static_cast<uint16_t>(bits / 8 * channels);
  format.nAvgBytesPerSec = format.nBlockAlign * rate;
  format.cbSize = 0;
  return format;
}

}  // namespace melvox

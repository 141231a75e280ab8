#include "sound/adpcm_reader.h"

#include <algorithm>
#include <vector>

#include "core/mv_exception.h"

namespace melvox {
namespace {

constexpr int16_t kStepTable[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int8_t kIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

}  // namespace

void DecodeImaAdpcmBlock(const uint8_t* block, uint32_t bytes, int16_t* samples) {
  int32_t predictor = static_cast<int16_t>(block[0] | (block[1] << 8));
  int32_t index = block[2];
  samples[0] = static_cast<int16_t>(predictor);
  if (index > 88) return;
  int16_t* out = samples + 1;
  for (uint32_t i = 4; i < bytes; ++i) {
    for (int shift = 0; shift <= 4; shift += 4) {
      const int nibble = (block[i] >> shift) & 0x0f;
      const int32_t step = kStepTable[index];
      int32_t diff = step >> 3;
      if (nibble & 1) diff += step >> 2;
      if (nibble & 2) diff += step >> 1;
      if (nibble & 4) diff += step;
      predictor += (nibble & 8) ? -diff : diff;
      predictor = std::clamp(predictor, -32768, 32767);
      index = std::clamp(index + kIndexTable[nibble], 0, 88);
      *out++ = static_cast<int16_t>(predictor);
    }
  }
}

CAdpcmReader::CAdpcmReader(CSoundSource* source, uint16_t /*channels*/, uint16_t block_align) : source_(source) {
  const uint32_t block = block_align;
  const uint32_t blocks = static_cast<uint32_t>(source_->GetLength()) / (2 * block - 8);
  const uint64_t decoded_bytes = uint64_t{blocks} * (4 * block - 14);
  if (decoded_bytes > UINT32_MAX / 2) throw CMVException(kErrUnsupportedWaveFormat);

  std::vector<uint8_t> raw(uint64_t{blocks} * block);
  uint32_t got = static_cast<uint32_t>(raw.size());
  if (!raw.empty() && !source_->ReadRaw(raw.data(), got)) got = 0;
  const uint32_t whole_blocks = got / block;

  WAVEFORMATEX format;
  source_->GetFormat(format);
  auto wave = std::make_unique<CWave>();
  wave->SetFormat(format);
  if (decoded_bytes > 0 && !wave->Allocate(static_cast<uint32_t>(decoded_bytes))) throw std::bad_alloc();
  auto* samples = reinterpret_cast<int16_t*>(wave->Data());
  for (uint32_t b = 0; b < whole_blocks; ++b) {
    DecodeImaAdpcmBlock(raw.data() + uint64_t{b} * block, block, samples + uint64_t{b} * (2 * block - 7));
  }
  const uint32_t count = static_cast<uint32_t>(decoded_bytes / 2);
  wave->SetSampleCount(count);
  wave->SetSelection(0, static_cast<int32_t>(count) - 1);
  wave->SetKind(SampleKind::kSigned);
  decoded_.Reset(wave.release());
  pcm_ = std::make_unique<CMemorySource>(decoded_);
}

void CAdpcmReader::Reset() { pcm_->Rewind(); }

bool CAdpcmReader::Read(void* buffer, uint32_t capacity, uint32_t& frames) {
  return pcm_->Read(buffer, capacity, frames);
}

}  // namespace melvox

#include "support/ima_adpcm_encoder.h"

#include <algorithm>

namespace melvox::testing {
namespace {

constexpr int kSteps[89] = {7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
                            25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
                            88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
                            307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
                            1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
                            3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
                            12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kIndexShift[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

int EncodeSample(int sample, int& predictor, int& index) {
  const int step = kSteps[index];
  int diff = sample - predictor;
  int nibble = 0;
  if (diff < 0) {
    nibble = 8;
    diff = -diff;
  }
  int delta = step >> 3;
  if (diff >= step) {
    nibble |= 4;
    diff -= step;
    delta += step;
  }
  if (diff >= step >> 1) {
    nibble |= 2;
    diff -= step >> 1;
    delta += step >> 1;
  }
  if (diff >= step >> 2) {
    nibble |= 1;
    delta += step >> 2;
  }
  predictor = std::clamp(predictor + ((nibble & 8) ? -delta : delta), -32768, 32767);
  index = std::clamp(index + kIndexShift[nibble], 0, 88);
  return nibble;
}

}  // namespace

std::vector<uint8_t> EncodeImaAdpcm(const std::vector<int16_t>& samples, uint16_t block_align) {
  const size_t per_block = 2u * (block_align - 4u) + 1u;
  std::vector<uint8_t> out;
  int index = 0;
  for (size_t start = 0; start < samples.size(); start += per_block) {
    auto at = [&](size_t i) { return samples[std::min(start + i, samples.size() - 1)]; };
    int predictor = at(0);
    out.push_back(static_cast<uint8_t>(predictor & 0xff));
    out.push_back(static_cast<uint8_t>((predictor >> 8) & 0xff));
    out.push_back(static_cast<uint8_t>(index));
    out.push_back(0);
    for (size_t i = 1; i < per_block; i += 2) {
      const int low = EncodeSample(at(i), predictor, index);
      const int high = EncodeSample(at(i + 1), predictor, index);
      out.push_back(static_cast<uint8_t>(low | high << 4));
    }
  }
  return out;
}

}  // namespace melvox::testing

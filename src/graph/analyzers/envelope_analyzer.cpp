#include "graph/analyzers/envelope_analyzer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "analysis/frame_features.h"

namespace melvox {
namespace {

constexpr int32_t kLargestPoint = 32767;

// |sample i| on the 16-bit scale, 32768 kept as 32767.
int32_t Magnitude(const uint8_t* data, size_t i, bool eight_bit) {
  int32_t sample = 0;
  if (eight_bit) {
    sample = static_cast<int8_t>(data[i]) * 256;
  } else {
    int16_t value = 0;
    std::memcpy(&value, data + i * 2, sizeof value);
    sample = value;
  }
  return std::min(std::abs(sample), kLargestPoint);
}

}  // namespace

void CEnvelopeAnalyzer::Compute(const CWave& wave) {
  const int64_t first = std::max(wave.SelectionStart(), 0);
  const int64_t last = std::min<int64_t>(wave.SelectionEnd(), int64_t{UsableSampleCount(wave)} - 1);
  const auto n = static_cast<uint32_t>(std::max<int64_t>(last - first + 1, 0));
  const uint32_t count = std::min(n, kMaxPoints);
  points_.assign(count, 0);
  if (count == 0) return;

  const uint32_t per = n / count;
  const bool eight_bit = wave.Format().wBitsPerSample == 8;
  int32_t peak = 1;
  for (uint32_t k = 0; k < count; ++k) {
    const size_t begin = static_cast<size_t>(first) + size_t{k} * per;
    int32_t largest = 0;
    for (size_t i = begin; i < begin + per; ++i) largest = std::max(largest, Magnitude(wave.Data(), i, eight_bit));
    peak = std::max(peak, largest);
    points_[k] = static_cast<int16_t>(largest);
  }
  SetPeak(peak);
}

bool CEnvelopeAnalyzer::RenderColumnsWith(std::vector<int32_t>& out, int32_t width, int32_t scale,
                                          int32_t reference) const {
  const int32_t adjusted = TruncateToInt32(static_cast<float>(reference) * kReferenceFactor);
  return CValueAnalyzer::RenderColumnsWith(out, width, scale, adjusted);
}

uint32_t CEnvelopeAnalyzer::FrameCount() const { return static_cast<uint32_t>(points_.size()); }

void CEnvelopeAnalyzer::Clear() { std::vector<int16_t>().swap(points_); }

int32_t CEnvelopeAnalyzer::RecordAt(int32_t frame, int32_t /*row*/) const {
  if (!HasData() || static_cast<uint32_t>(frame) >= FrameCount()) return 0;
  return points_[static_cast<uint32_t>(frame)];
}

}  // namespace melvox

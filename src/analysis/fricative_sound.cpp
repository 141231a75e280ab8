#include "analysis/fricative_sound.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/mono_wave.h"

namespace melvox {
namespace {

constexpr float kGain = 2.5f;
// A step is fricative when it is loud and crosses zero often, as hissing consonants do.
constexpr float kFricativeLevelDb = 50.0f;
constexpr int32_t kFricativeCrossings = 50;

bool IsFricative(const FrameResult& result) {
  return result.level_db >= kFricativeLevelDb && result.zero_crossings >= kFricativeCrossings;
}

// Amplifies, ramps and silences the samples of one sound in place, clipping at the sample type's range.
template <typename Sample>
class FricativeRuns {
 public:
  FricativeRuns(Sample* samples, uint32_t count, int32_t ramp) : samples_(samples), count_(count), ramp_(ramp) {}

  // Walks the steps from sample `start`, step i ending hop x (i + 1) samples after it.
  void Walk(const std::vector<FrameResult>& results, uint32_t start, uint32_t hop) {
    uint32_t c = start;
    bool open = false;
    for (size_t i = 0; i < results.size(); ++i) {
      const auto end = static_cast<uint32_t>(std::min<uint64_t>(start + uint64_t{hop} * (i + 1), count_));
      if (IsFricative(results[i])) {
        if (!open) {
          open = true;
          for (int32_t k = 1; k < ramp_ && c < count_; ++k) Ramp(c++, k);
        }
        for (; c < end; ++c) samples_[c] = Clip(static_cast<int32_t>(static_cast<float>(samples_[c]) * kGain));
      } else {
        if (open) {
          open = false;
          for (int32_t k = ramp_ - 1; k >= 1 && c < count_; --k) Ramp(c++, k);
        }
        for (; c < end; ++c) samples_[c] = 0;
      }
    }
  }

 private:
  static Sample Clip(int32_t value) {
    return static_cast<Sample>(
        std::clamp<int32_t>(value, std::numeric_limits<Sample>::min(), std::numeric_limits<Sample>::max()));
  }
  // The k-th of R ramp steps: the gain times k / R. The product is formed in 32 bits and taken to
  // float before the gain, so that it cannot overflow.
  void Ramp(uint32_t c, int32_t k) {
    const int32_t product = int32_t{samples_[c]} * k;
    samples_[c] = Clip(static_cast<int32_t>(static_cast<float>(product) * kGain) / ramp_);
  }

  Sample* samples_;
  uint32_t count_;
  int32_t ramp_;
};

template <typename Sample>
void KeepFricatives(CWave& copy, const std::vector<FrameResult>& results, uint32_t hop) {
  auto* samples = reinterpret_cast<Sample*>(copy.Data());
  const uint32_t count = copy.SampleCount();
  const auto start = static_cast<uint32_t>(std::clamp<int64_t>(copy.SelectionStart(), 0, count));
  const auto after_end = static_cast<uint32_t>(std::clamp<int64_t>(int64_t{copy.SelectionEnd()} + 1, start, count));
  std::fill(samples, samples + start, Sample{0});
  std::fill(samples + after_end, samples + count, Sample{0});
  // R, the samples in 1 ms: (rate x 10 / 1000) / 10.
  const auto ramp = static_cast<int32_t>(hop / 10);
  FricativeRuns<Sample>(samples, count, ramp).Walk(results, start, hop);
}

}  // namespace

std::unique_ptr<CWave> MakeFricativeSound(const CSoundAnalysis& analysis, const CWave& wave) {
  const std::vector<FrameResult>& results = analysis.Results();
  const uint32_t hop = wave.Format().nSamplesPerSec / 100;
  if (results.empty() || hop == 0) return nullptr;

  // A mono copy that holds only the samples the block really has, 8-bit samples signed as the analysis
  // reads them (and kept so).
  std::unique_ptr<CWave> copy = MonoCopy(wave, ByteSamples::kSigned);
  if (copy->Data() == nullptr) return nullptr;
  const int32_t last = static_cast<int32_t>(copy->SampleCount()) - 1;
  copy->SetSelection(wave.SelectionStart(), std::min(wave.SelectionEnd(), last));

  if (copy->Format().wBitsPerSample == 8) {
    KeepFricatives<int8_t>(*copy, results, hop);
  } else {
    KeepFricatives<int16_t>(*copy, results, hop);
  }
  return copy;
}

}  // namespace melvox

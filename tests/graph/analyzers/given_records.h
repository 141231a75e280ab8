// Analyzers with given frame values, to drive rendering without an analysis, and a tone whose real
// analysis the pitch test reads.
#pragma once

#include <memory>
#include <vector>

#include "analysis/sound_analysis.h"
#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox::testing {

template <typename Analyzer>  // a value analyzer
struct GivenValues : Analyzer {
  explicit GivenValues(std::vector<int32_t> given) : values(std::move(given)) {}
  uint32_t FrameCount() const override { return static_cast<uint32_t>(values.size()); }
  int32_t RecordAt(int32_t f, int32_t) const override { return size_t(f) < values.size() ? values[f] : 0; }
  std::vector<int32_t> values;
};

// 300 ms of silence (steps 0 to 29), then 1 s of a 150 Hz harmonic tone: period 147 samples at 22050 Hz.
inline std::unique_ptr<CWave> SilenceThenTone() {
  return samples::MakeWave16(Harmonic(147, 5, 22050 * 13 / 10, 6000.0, 22050 * 3 / 10), 22050);
}

}  // namespace melvox::testing

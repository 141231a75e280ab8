// Analyzers with given frame values or records, to drive rendering without an analysis, and a tone
// whose real analysis the pitch and spectrum tests read.
#pragma once

#include <memory>
#include <ostream>
#include <vector>

#include "analysis/sound_analysis.h"
#include "graph/analyzers/color_analyzer.h"
#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox {

inline void PrintTo(const ColorRecord& r, std::ostream* os) {
  *os << "{" << r.red << ", " << r.green << ", " << r.blue << ", " << r.level << "}";
}

namespace testing {

template <typename Analyzer>  // a value analyzer
struct GivenValues : Analyzer {
  explicit GivenValues(std::vector<int32_t> given) : values(std::move(given)) {}
  uint32_t FrameCount() const override { return static_cast<uint32_t>(values.size()); }
  int32_t RecordAt(int32_t f, int32_t) const override { return size_t(f) < values.size() ? values[f] : 0; }
  std::vector<int32_t> values;
};

struct GivenRecords : CColorAnalyzer {
  explicit GivenRecords(std::vector<ColorRecord> given) : records(std::move(given)) {}
  int32_t RowCount() const override { return 1; }
  uint32_t FrameCount() const override { return static_cast<uint32_t>(records.size()); }
  bool HasData() const override { return !records.empty(); }
  void Clear() override { records.clear(); }
  ColorRecord RecordAt(int32_t f, int32_t) const override {
    return size_t(f) < records.size() ? records[f] : kEmptyColorRecord;
  }
  std::vector<ColorRecord> records;
};

// 300 ms of silence (steps 0 to 29), then 1 s of a 150 Hz harmonic tone: period 147 samples at 22050 Hz.
inline std::unique_ptr<CWave> SilenceThenTone() {
  return samples::MakeWave16(Harmonic(147, 5, 22050 * 13 / 10, 6000.0, 22050 * 3 / 10), 22050);
}

}  // namespace testing
}  // namespace melvox

#include "graph/analyzers/crossing_analyzer.h"

#include "analysis/sound_analysis.h"

namespace melvox {

int32_t CCrossingAnalyzer::StepValue(const FrameResult& result) {
  if (!(result.level_db >= kLevelThresholdDb)) return 0;
  return result.zero_crossings >= kCrossingThreshold ? result.zero_crossings : 0;
}

bool CCrossingAnalyzer::RenderColumns(std::vector<int32_t>& out, int32_t width, int32_t scale) {
  return RenderColumnsWith(out, width, scale, kFixedReference);
}

int32_t CCrossingAnalyzer::RecordAt(int32_t frame, int32_t /*row*/) const {
  if (!HasData() || static_cast<uint32_t>(frame) >= FrameCount()) return 0;
  return StepValue(Analysis()->Results()[static_cast<uint32_t>(frame)]);
}

}  // namespace melvox

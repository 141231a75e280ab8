#include "graph/analyzers/pitch_analyzer.h"

#include "analysis/sound_analysis.h"

namespace melvox {

int32_t CPitchAnalyzer::StepValue(const FrameResult& result) {
  const int32_t pitch = static_cast<uint16_t>(result.pitch_hz);
  return pitch > kPitchFloorHz ? pitch - kPitchFloorHz : 0;
}

int32_t CPitchAnalyzer::RecordAt(int32_t frame, int32_t /*row*/) const {
  if (!HasData() || static_cast<uint32_t>(frame) >= FrameCount()) return 0;
  return StepValue(Analysis()->Results()[static_cast<uint32_t>(frame)]);
}

}  // namespace melvox

// CEnvelopeAnalyzer: the envelope graph's values, the peak envelope of a sound's selection.
#pragma once

#include <cstdint>
#include <vector>

#include "graph/analyzers/value_analyzer.h"
#include "sound/wave.h"

namespace melvox {

// Works on the samples of a mono CWave, without the sound analysis. The selection is cut into at most
// 1000 equal pieces; a frame here is one piece (an envelope point), and its value is the largest |s|
// in it on the 16-bit scale, 0 .. 32767 (|-32768| is kept as 32767, so that a point fits in a signed
// 16-bit value). Rendering adjusts the reference to 0.67 of it, so a column whose mean reaches 0.67
// of the largest point fills the whole scale. Frame count and Clear are the points'; Compute with an
// analysis (the base's) only attaches it, which this analyzer does not read.
//
// Threading: built, used and destroyed on one thread, by the view that is given a sound; it keeps
// its own points and holds no process-wide state.
class CEnvelopeAnalyzer : public CValueAnalyzer {
 public:
  static constexpr uint32_t kMaxPoints = 1000;
  static constexpr float kReferenceFactor = 0.67f;

  using CValueAnalyzer::Compute;
  // Makes the points of the wave's selection (clamped to the samples the block holds; an empty or
  // reversed selection gives none): n samples give count = min(n, 1000) points of n / count samples
  // each, the last n - count x (n / count) samples left out. 16-bit samples are read as int16_t,
  // 8-bit ones as int8_t times 256 whatever the wave's sample kind (the envelope view turns them
  // signed first). The largest point, but at least 1, becomes the cached PeakRecord.
  void Compute(const CWave& wave);

  // The base's rendering against trunc(reference x 0.67), the product in single precision.
  bool RenderColumnsWith(std::vector<int32_t>& out, int32_t width, int32_t scale, int32_t reference) const override;
  uint32_t FrameCount() const override;  // the number of points
  // Frees the points; the cached peak stays.
  void Clear() override;
  // The point, read as a signed 16-bit value; 0 for a frame outside the points.
  int32_t RecordAt(int32_t frame, int32_t row) const override;

 private:
  std::vector<int16_t> points_;
};

}  // namespace melvox

// CValueSegment: a run of noisy steps with their smoothed zero-crossing counts; and the list of them
// that a sound analysis derives from its results (its noisy segments).
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/frame_result.h"
#include "analysis/time_segment.h"

namespace melvox {

// The class of a noisy segment, as Classify gives it by the mean smoothed zero-crossing count per
// 10 ms step. The values are part of the output of `melvox analyze --json` ("tag").
enum class NoiseClass : int32_t {
  kUnclassified = 0,  // before Classify
  kHigh = 6,          // mean above 116
  kMiddle = 7,        // 76 to 116
  kLow = 8,           // below 76
};

class CValueSegment : public CTimeSegment {
 public:
  // A segment of one step at time_ms holding value.
  CValueSegment(int32_t value, int32_t time_ms);

  // Adds the step at time_ms (the end becomes time_ms + 10); a larger value becomes the maximum.
  void Extend(int32_t value, int32_t time_ms);
  // Sets and returns the class from the mean value per step, sum x 10 / duration (integer division).
  NoiseClass Classify();
  NoiseClass Class() const { return class_; }
  // Takes over a later segment: its end, its maximum when larger, and its sum. The class stays.
  void Absorb(const CValueSegment& later);

  int32_t MaxTime() const { return max_time_; }
  int32_t MaxValue() const { return max_value_; }
  int32_t Sum() const { return sum_; }

 private:
  int32_t max_time_;
  int32_t max_value_;
  int32_t sum_;
  NoiseClass class_ = NoiseClass::kUnclassified;
};

// The zero-crossing counts of the steps smoothed with weights 1-2-1 (2-1 and 1-2 at the ends, divided
// by 3), integer divisions.
std::vector<uint8_t> SmoothCrossings(const std::vector<FrameResult>& results);

// The noise segments of an analysis: runs of steps louder than 50 dB whose smoothed zero-crossing
// count is 50 or more (5000 per second), each at least 25 ms long and classified; runs closer than
// 30 ms are then merged. A run still open after the last step is dropped.
std::vector<CValueSegment> BuildNoiseSegments(const std::vector<FrameResult>& results);

}  // namespace melvox

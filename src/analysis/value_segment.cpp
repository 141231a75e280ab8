#include "analysis/value_segment.h"

#include <memory>

namespace melvox {
namespace {

constexpr int32_t kStepMs = 10;
constexpr double kNoisyLevelDb = 50.0;
constexpr uint8_t kNoisyCrossings = 50;
constexpr int32_t kShortestNoiseMs = 25;
constexpr int32_t kMergeGapMs = 30;

}  // namespace

CValueSegment::CValueSegment(int32_t value, int32_t time_ms) : max_time_(time_ms), max_value_(value), sum_(value) {
  SetStart(time_ms);
  SetEnd(time_ms + kStepMs);
}

void CValueSegment::Extend(int32_t value, int32_t time_ms) {
  SetEnd(time_ms + kStepMs);
  if (value > max_value_) {
    max_value_ = value;
    max_time_ = time_ms;
  }
  sum_ += value;
}

NoiseClass CValueSegment::Classify() {
  const int32_t duration = GetDuration();
  const int64_t mean = duration > 0 ? int64_t{sum_} * 10 / duration : 0;
  if (mean > 116) {
    class_ = NoiseClass::kHigh;
  } else if (mean < 76) {
    class_ = NoiseClass::kLow;
  } else {
    class_ = NoiseClass::kMiddle;
  }
  return class_;
}

void CValueSegment::Absorb(const CValueSegment& later) {
  SetEnd(later.GetEnd());
  if (later.max_value_ > max_value_) {
    max_value_ = later.max_value_;
    max_time_ = later.max_time_;
  }
  sum_ += later.sum_;
}

std::vector<uint8_t> SmoothCrossings(const std::vector<FrameResult>& results) {
  const size_t n = results.size();
  std::vector<uint8_t> smoothed(n);
  const auto z = [&](size_t i) { return int32_t{results[i].zero_crossings}; };
  if (n == 1) {
    smoothed[0] = results[0].zero_crossings;  // a single step has no neighbour to weigh
    return smoothed;
  }
  for (size_t i = 0; i < n; ++i) {
    int32_t value = 0;
    if (i == 0) {
      value = (2 * z(0) + z(1)) / 3;
    } else if (i == n - 1) {
      value = (z(n - 2) + 2 * z(n - 1)) / 3;
    } else {
      value = (z(i - 1) + 2 * z(i) + z(i + 1)) / 4;
    }
    smoothed[i] = static_cast<uint8_t>(value);
  }
  return smoothed;
}

std::vector<CValueSegment> BuildNoiseSegments(const std::vector<FrameResult>& results) {
  const std::vector<uint8_t> smoothed = SmoothCrossings(results);
  std::vector<CValueSegment> segments;
  std::unique_ptr<CValueSegment> open;
  int32_t time = 0;
  for (size_t i = 0; i < results.size(); ++i, time += kStepMs) {
    if (results[i].level_db > kNoisyLevelDb && smoothed[i] >= kNoisyCrossings) {
      if (open) {
        open->Extend(smoothed[i], time);
      } else {
        open = std::make_unique<CValueSegment>(smoothed[i], time);
      }
    } else if (open) {
      if (open->GetDuration() >= kShortestNoiseMs) {
        open->Classify();
        segments.push_back(*open);
      }
      open.reset();
    }
  }
  for (size_t i = 1; i < segments.size();) {
    if (segments[i].GetStart() - segments[i - 1].GetEnd() <= kMergeGapMs) {
      segments[i - 1].Absorb(segments[i]);
      segments.erase(segments.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  return segments;
}

}  // namespace melvox

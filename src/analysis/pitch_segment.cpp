#include "analysis/pitch_segment.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace melvox {
namespace {

constexpr int32_t kStepMs = 10;
constexpr int32_t kLongSegmentMs = 20;
constexpr int32_t kMergeGapMs = 99;  // short segments join a long one closer than this
constexpr double kShapeThreshold = 0.15;
constexpr int32_t kShapedSegmentMs = 150;

// ln of a pitch; a mean pitch is never 0 for voiced steps, and 1 Hz stands in if it ever were.
float LogPitch(int64_t pitch) { return std::log(static_cast<float>(std::max<int64_t>(pitch, 1))); }

// Milliseconds between two segments that do not overlap.
int32_t Gap(const CTimeSegment& a, const CTimeSegment& b) {
  return a.GetEnd() <= b.GetStart() ? b.GetStart() - a.GetEnd() : a.GetStart() - b.GetEnd();
}

// Appends the steps from `from` up to `to` (exclusive) with pitches on a straight line from the
// segment's last pitch towards `next`, which follows at `to`.
void FillGap(CPitchSegment& segment, int32_t to, uint16_t next) {
  const int32_t from = segment.GetEnd();
  const int32_t steps = (to - from) / kStepMs;
  const int32_t before = segment.Pitches().back();
  for (int32_t j = 1; j <= steps; ++j) {
    const int32_t pitch = before + (next - before) * j / (steps + 1);
    segment.Append(static_cast<uint16_t>(pitch), from + (j - 1) * kStepMs);
  }
}

void AppendAll(CPitchSegment& segment, const CPitchSegment& later) {
  FillGap(segment, later.GetStart(), later.Pitches().front());
  int32_t time = later.GetStart();
  for (const uint16_t pitch : later.Pitches()) {
    segment.Append(pitch, time);
    time += kStepMs;
  }
}

}  // namespace

CPitchSegment::CPitchSegment(uint16_t pitch_hz, int32_t time_ms)
    : min_time_(time_ms), min_pitch_(pitch_hz), max_time_(time_ms), max_pitch_(pitch_hz), pitches_{pitch_hz} {
  SetStart(time_ms);
  SetEnd(time_ms + kStepMs);
}

void CPitchSegment::Append(uint16_t pitch_hz, int32_t time_ms) {
  SetEnd(time_ms + kStepMs);
  if (pitch_hz < min_pitch_) {
    min_pitch_ = pitch_hz;
    min_time_ = time_ms;
  } else if (pitch_hz > max_pitch_) {
    max_pitch_ = pitch_hz;
    max_time_ = time_ms;
  }
  pitches_.push_back(pitch_hz);
}

ContourShape CPitchSegment::ClassifyContour() {
  const auto n = static_cast<int32_t>(pitches_.size());
  if (n == 0) return shape_;
  const int32_t k = std::min(std::max(n / 8, 2), n);
  int64_t first = 0;
  int64_t last = 0;
  for (int32_t i = 0; i < k; ++i) {
    first += pitches_[i];
    last += pitches_[n - k + i];
  }
  const float log_a = LogPitch(first / k);
  const float log_b = LogPitch(last / k);
  const float slope = log_b - log_a;
  ContourShape shape = ContourShape::kLevel;
  if (slope > kShapeThreshold) {
    shape = ContourShape::kRising;
  } else if (slope < -kShapeThreshold) {
    shape = ContourShape::kFalling;
  }

  if (GetDuration() > kShapedSegmentMs) {
    const auto margin = static_cast<int32_t>(GetDuration() * 0.2);
    const auto inside = [&](int32_t time) { return GetStart() + margin < time && time < GetEnd() - margin; };
    if (inside(min_time_) || inside(max_time_)) {
      const int32_t third = n / 3;
      const int32_t step = std::max(third / k, 1);
      int64_t sum = 0;
      int64_t count = 0;
      for (int32_t i = third; i <= 2 * third; i += step) {
        sum += pitches_[i];
        ++count;
      }
      // The geometric mean of the two ends, truncated to whole Hz.
      const auto ends = static_cast<int64_t>(std::exp((log_a + log_b) / 2));
      const float x = LogPitch(sum / count) - LogPitch(ends);
      const bool steeper = std::fabs(x) > std::fabs(1.3 * slope);
      if (x > kShapeThreshold) {
        if (shape == ContourShape::kLevel || steeper) shape = ContourShape::kPeak;
      } else if (x < -kShapeThreshold) {
        if (shape == ContourShape::kLevel || steeper) shape = ContourShape::kDip;
      }
    }
  }
  shape_ = shape;
  return shape_;
}

PitchSegmentLists SplitPitchSegments(const std::vector<FrameResult>& results) {
  PitchSegmentLists lists;
  std::unique_ptr<CPitchSegment> open;
  int32_t time = 0;
  for (const FrameResult& result : results) {
    if (result.pitch_hz != 0) {
      const auto pitch = static_cast<uint16_t>(result.pitch_hz);
      if (open) {
        open->Append(pitch, time);
      } else {
        open = std::make_unique<CPitchSegment>(pitch, time);
      }
    } else if (open) {
      auto& list = open->GetDuration() >= kLongSegmentMs ? lists.long_segments : lists.short_segments;
      list.push_back(*open);
      open.reset();
    }
    time += kStepMs;
  }
  return lists;
}

void MergeShortSegments(std::vector<CPitchSegment>& long_segments, const std::vector<CPitchSegment>& short_segments) {
  for (const CPitchSegment& lone : short_segments) {
    auto nearest = long_segments.end();
    int32_t nearest_gap = kMergeGapMs;
    for (auto it = long_segments.begin(); it != long_segments.end(); ++it) {
      const int32_t gap = Gap(*it, lone);
      if (gap < nearest_gap) {
        nearest_gap = gap;
        nearest = it;
      }
    }
    if (nearest == long_segments.end()) continue;  // nothing closer than 99 ms: dropped
    if (nearest->GetEnd() <= lone.GetStart()) {
      AppendAll(*nearest, lone);
    } else {
      CPitchSegment joined = lone;
      AppendAll(joined, *nearest);
      *nearest = joined;
    }
  }
}

std::vector<CPitchSegment> BuildPitchSegments(const std::vector<FrameResult>& results) {
  PitchSegmentLists lists = SplitPitchSegments(results);
  MergeShortSegments(lists.long_segments, lists.short_segments);
  for (CPitchSegment& segment : lists.long_segments) segment.ClassifyContour();
  return std::move(lists.long_segments);
}

}  // namespace melvox

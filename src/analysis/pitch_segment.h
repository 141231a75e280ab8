// CPitchSegment: a run of voiced steps with their pitches, classified by the shape of its contour;
// and the list of them that a sound analysis derives from its results (its voiced segments).
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/frame_result.h"
#include "analysis/time_segment.h"

namespace melvox {

// The shape of a voiced segment's pitch contour, as ClassifyContour gives it. The values are part of
// the output of `melvox analyze --json` ("tag").
enum class ContourShape : int32_t {
  kUnclassified = 0,  // before ClassifyContour
  kRising = 1,
  kFalling = 2,
  kLevel = 3,
  kDip = 4,   // lower in the middle
  kPeak = 5,  // higher in the middle
};

// One pitch per 10 ms step from the start (Hz), with the lowest and highest pitch and their times (ms).
class CPitchSegment : public CTimeSegment {
 public:
  // A segment of one step at time_ms.
  CPitchSegment(uint16_t pitch_hz, int32_t time_ms);

  // Adds the step at time_ms (the end becomes time_ms + 10). A new lowest pitch takes the minimum's
  // time; otherwise a new highest pitch takes the maximum's.
  void Append(uint16_t pitch_hz, int32_t time_ms);
  // Sets and returns the shape from the contour (a segment without pitches keeps its shape): rising or
  // falling when the mean pitch of the last eighth (at least 2 steps) differs from that of the first by
  // more than 0.15 in natural log, else level; segments longer than 150 ms whose extreme lies inside
  // their middle 60 % become a dip or a peak when the middle third stands out from the ends by more
  // than 0.15 (and, for a sloping segment, by more than 1.3 times the slope).
  ContourShape ClassifyContour();
  ContourShape Shape() const { return shape_; }
  void SetShape(ContourShape shape) { shape_ = shape; }

  int32_t MinTime() const { return min_time_; }
  uint16_t MinPitch() const { return min_pitch_; }
  int32_t MaxTime() const { return max_time_; }
  uint16_t MaxPitch() const { return max_pitch_; }
  const std::vector<uint16_t>& Pitches() const { return pitches_; }

 private:
  int32_t min_time_;
  uint16_t min_pitch_;
  int32_t max_time_;
  uint16_t max_pitch_;
  std::vector<uint16_t> pitches_;
  ContourShape shape_ = ContourShape::kUnclassified;
};

// The voiced runs of a sound's results (time = index x 10 ms), split by duration: 20 ms or more into
// long_segments, single steps into short_segments. A run still open after the last result is dropped.
struct PitchSegmentLists {
  std::vector<CPitchSegment> long_segments;
  std::vector<CPitchSegment> short_segments;
};
PitchSegmentLists SplitPitchSegments(const std::vector<FrameResult>& results);

// Each short segment joins the long segment nearest in time when the gap between them is under
// 99 ms; the steps of the gap get pitches on a straight line between the two. Short segments with no
// long one that near are dropped.
void MergeShortSegments(std::vector<CPitchSegment>& long_segments, const std::vector<CPitchSegment>& short_segments);

// The pitch segments of an analysis: split, short ones merged, every segment classified.
std::vector<CPitchSegment> BuildPitchSegments(const std::vector<FrameResult>& results);

}  // namespace melvox

// Start and end detection: finds where the sound proper begins and ends inside a CWave, leaving out
// the leading and trailing background noise, and stores the two positions as the wave's selection.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>

#include "analysis/frame_features.h"
#include "analysis/frame_result.h"
#include "sound/wave.h"

namespace melvox {

// Works on 10 ms frames: compares each frame's energy with an adaptive estimate of the background
// noise, accepts a boundary at a run of 6 loud frames, then moves it outward over neighbouring frames
// that are noisy the way fricatives are (at least 3 frames with 50 or more zero crossings that are
// above the silence threshold), looking back over at most the last 50 frames.
//
// A detector examines mono 8-bit or 16-bit waves; positions count samples. Not thread-safe: one
// detector serves one caller.
class CEndpointDetector {
 public:
  enum State : int32_t {
    kIdle = 0,
    kSearchingStart = 1,
    kStartFound = 3,
    kBothFound = 5,
  };

  CEndpointDetector() = default;

  // Setup and Step on the wave; when both ends are found, writes the start and min(end, last sample)
  // into the wave's selection and returns true. Otherwise leaves the wave untouched and returns false
  // (fewer than 5 frames, no run of 6 loud frames, a start without an end, or a frame length of 0).
  bool Detect(CWave& wave);

  // Takes the frame length from the wave's format (average bytes per second x 10 ms, mono), resets
  // the search and sets the starting noise level from the wave's first two frames.
  void Setup(const CWave& wave);
  // Searches the start and, once it is known, the end. Returns the new state.
  int32_t Step(const CWave& wave);
  // (start, end) in state 5, (start, -1) in state 3, else (-1, -1); every call returns to state 0.
  std::pair<int32_t, int32_t> Result();

  // False freezes the noise estimate during the scans; the one-shot DetectEndpoints always adapts.
  void SetAdaptNoise(bool adapt) { adapt_noise_ = adapt ? 0 : 1; }
  const NoiseThresholds& Thresholds() const { return thresholds_; }
  int32_t FrameLength() const { return frame_length_; }

 private:
  // Frames a to b (exclusive), forward or backward; the first sample of the refined boundary, or -1.
  int32_t Scan(int32_t from, int32_t to);
  // Moves a boundary at run_start outward over a run of at least 3 fricative-like frames.
  int32_t Refine(uint32_t run_start) const;
  FrameFeature Frame(int32_t index) const;
  // Adapts the noise level to a measured energy (the mean of two frames).
  void AdaptNoise(int64_t measured);

  int32_t frame_length_ = 0;
  int32_t frame_count_ = 0;
  int32_t stream_offset_ = 0;
  int32_t pending_length_ = 0;
  int32_t start_pos_ = 0;
  int32_t end_pos_ = 0;
  int32_t state_ = kIdle;
  int32_t adapt_noise_ = 0;  // 0: the noise level adapts while scanning
  uint32_t sample_count_ = 0;
  SampleLayout layout_;
  std::deque<FrameFeature> history_;  // the most recent frames of the current scan, at most 50
  NoiseThresholds thresholds_;
};

// Runs a new detector once on the wave (noise adaptation on). True when the selection was written.
bool DetectEndpoints(CWave& wave);

}  // namespace melvox

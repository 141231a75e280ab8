// CTimeStretcher: the slowed version of a sound, the same speech made longer at the same pitch by
// repeating whole pitch periods.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/wave.h"

namespace melvox {

// The input and output samples of one stretch (defined in time_stretcher.cpp).
template <typename Sample>
class StretchFrames;

// Walks a sound in 10 ms segments and, in each, inserts as many whole pitch periods as the slow-down
// asks for, each one cross-faded into the sound around it. The pitch contour says how long a period is;
// unvoiced segments get a pseudo-period of 100..139 Hz from a generator that is reseeded on every
// MakeStretched, so the same input always gives the same output. What one segment gets too much or too
// little is carried into the next, which keeps the total close to the wanted length.
//
// Threading: one MakeStretched at a time per object; separate objects are independent.
class CTimeStretcher {
 public:
  // wave: 8- or 16-bit PCM; 8-bit samples are signed when the wave's kind is SampleKind::kSigned, else
  //   unsigned. Positions count frames; the sample count of a multi-channel wave counts frames, as the
  //   sources' GetWave set it (never more than the block holds).
  // contour: the pitch of each 10 ms step from the wave's first sample, in Hz; 0 (or less) = unvoiced.
  //   Steps past the end of the sound are ignored; frames past the end of the contour are copied as
  //   they are.
  // level: the slow-down level L, -200..-1. The result lasts (100 - L) / 100 times as long (-10: 1.1
  //   times, -100: twice).
  // Returns a new wave with the format and sample kind of wave, its sample count the frames written and
  // its selection the whole of them; its block holds trunc(bytes / f) bytes, f = 100 / (100 - L) in
  // single precision, and nothing is written past it. Null when L is outside -200..-1, the samples are
  // neither 8 nor 16 bits, the rate is below 100 Hz (no 10 ms step), or the block cannot be had.
  std::unique_ptr<CWave> MakeStretched(const CWave& wave, const std::vector<int16_t>& contour, int32_t level);

 private:
  // The segment walk; returns the frames written.
  template <typename Sample>
  uint32_t StretchSegments(const StretchFrames<Sample>& io, uint32_t rate, const std::vector<int16_t>& contour);
  // Writes one segment of n input frames from src to dst with repeats_ periods inserted; m is the input
  // left from src. Returns the output position reached.
  template <typename Sample>
  uint32_t InsertPeriods(const StretchFrames<Sample>& io, uint32_t src, uint32_t dst, uint32_t n, uint32_t m);
  // The pseudo-pitch of an unvoiced segment, 100..139 Hz.
  int32_t RandomPitch();

  uint32_t bytes_per_sample_ = 0;
  uint32_t period_ = 0;  // the current pitch period in frames
  int32_t voiced_ = 0;   // 1 when the current segment's pitch was not 0
  int32_t repeats_ = 0;  // periods to insert into the current segment
  float factor_ = 0.0f;  // f = 100 / (100 - L)
  uint32_t random_state_ = 0;
};

}  // namespace melvox

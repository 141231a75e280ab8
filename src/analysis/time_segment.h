// CTimeSegment: a stretch of an analysed sound in milliseconds, the base of the segments that an
// analysis derives from its steps, of the notes and of the spectral peak tracks.
#pragma once

#include <cstdint>

namespace melvox {

// Times count milliseconds from the start of the analysed selection; step i covers i x 10 to
// i x 10 + 10. Start and end are -1 while unset; the end is exclusive. The segments that are classified
// keep their class themselves (CPitchSegment's ContourShape, CValueSegment's NoiseClass).
class CTimeSegment {
 public:
  CTimeSegment() = default;
  CTimeSegment(const CTimeSegment&) = default;
  CTimeSegment& operator=(const CTimeSegment&) = default;
  virtual ~CTimeSegment();

  virtual void SetStart(int32_t start_ms);
  virtual int32_t GetStart() const;
  virtual void SetEnd(int32_t end_ms);
  virtual int32_t GetEnd() const;
  virtual int32_t GetDuration() const;  // end - start, ms

  // The same stretch in 10 ms steps (integer divisions, toward zero): the first step (start / 10),
  // the last step (end / 10 - 1), each -1 while unset, and the number of steps ((end - start) / 10).
  int32_t FirstFrame() const;
  int32_t LastFrame() const;
  int32_t FrameSpan() const;

 private:
  int32_t start_ = -1;
  int32_t end_ = -1;
};

}  // namespace melvox

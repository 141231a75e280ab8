// CTimeSegment: a stretch of an analysed sound in milliseconds, the base of the segment lists that an
// analysis derives from its steps and of the spectral peak tracks.
#pragma once

#include <cstdint>

namespace melvox {

// Times count milliseconds from the start of the analysed selection; step i covers i x 10 to
// i x 10 + 10. Start and end are -1 while unset; the end is exclusive. The tag is a class code that the
// derived classes set (contour shapes 1 to 5, noise classes 6 to 8).
class CTimeSegment {
 public:
  CTimeSegment() = default;
  CTimeSegment(const CTimeSegment&) = default;
  CTimeSegment& operator=(const CTimeSegment&) = default;
  virtual ~CTimeSegment();

  virtual int32_t SetTag(int32_t tag);  // returns the new tag
  virtual int32_t GetTag() const;
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
  int32_t tag_ = 0;
};

}  // namespace melvox

#include "analysis/time_segment.h"

namespace melvox {

CTimeSegment::~CTimeSegment() = default;

void CTimeSegment::SetStart(int32_t start_ms) { start_ = start_ms; }
int32_t CTimeSegment::GetStart() const { return start_; }
void CTimeSegment::SetEnd(int32_t end_ms) { end_ = end_ms; }
int32_t CTimeSegment::GetEnd() const { return end_; }
int32_t CTimeSegment::GetDuration() const { return end_ - start_; }

int32_t CTimeSegment::FirstFrame() const { return GetStart() == -1 ? -1 : GetStart() / 10; }
int32_t CTimeSegment::LastFrame() const { return GetEnd() == -1 ? -1 : GetEnd() / 10 - 1; }
int32_t CTimeSegment::FrameSpan() const { return GetDuration() / 10; }

}  // namespace melvox

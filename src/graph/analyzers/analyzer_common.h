// What the two analyzer families, CValueAnalyzer and CColorAnalyzer, share: the set of linked
// analyzers, the spreading of frames over pixel columns, the frames and rows under a pixel, and the
// copying of records into vectors. Header-only: every piece is a template over the analyzer or its
// record, or a small inline function.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <vector>

namespace melvox {

// Truncates toward zero like a plain conversion, but saturates beyond the 32-bit range and gives 0
// for NaN, where a plain conversion is undefined.
inline int32_t TruncateToInt32(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// The analyzers that share one reference record, ordered by address; the owner is always a member.
// Linking is mutual, and an analyzer that is destroyed leaves its partners' sets, so no set ever
// points at a destroyed analyzer. Analyzer must make AnalyzerLinks<Analyzer> a friend and keep its
// own links in a member named links_.
template <typename Analyzer>
class AnalyzerLinks {
 public:
  explicit AnalyzerLinks(Analyzer* owner) : owner_(owner), members_{owner} {}
  ~AnalyzerLinks() {
    for (Analyzer* member : members_) {
      if (member != owner_) member->links_.members_.erase(owner_);
    }
  }
  AnalyzerLinks(const AnalyzerLinks&) = delete;
  AnalyzerLinks& operator=(const AnalyzerLinks&) = delete;

  void Link(Analyzer* other) {
    if (other == nullptr) return;
    members_.insert(other);
    other->links_.members_.insert(owner_);
  }
  bool Alone() const { return members_.size() == 1; }
  const std::set<Analyzer*>& Members() const { return members_; }

 private:
  Analyzer* owner_;
  std::set<Analyzer*> members_;
};

// Spreads frames 0 .. frames - 1 over the columns 0 .. width - 1. With step = width / frames in single
// precision, frame f reaches column trunc((f + 1) x step). add(f) takes every frame in order; when a
// frame reaches the first column not yet written, write(first, last) fills the columns from that one
// to the reached one (at most width - 1) from the frames added since the last write. Frames after the
// last column was written are not added.
template <typename AddFrame, typename WriteColumns>
void SpreadFrames(uint32_t frames, int32_t width, AddFrame add, WriteColumns write) {
  const float step = static_cast<float>(width) / static_cast<float>(frames);
  int64_t next = 0;
  for (uint32_t f = 0; f < frames && next < width; ++f) {
    add(f);
    const auto reached = static_cast<int64_t>(static_cast<float>(f + 1) * step);
    if (reached < next) continue;
    write(static_cast<int32_t>(next), static_cast<int32_t>(std::min<int64_t>(reached, width - 1)));
    next = reached + 1;
  }
}

// The frames (or rows) first .. last that lie under one pixel of a picture.
struct PixelSpan {
  int32_t first;
  int32_t last;
};

// Pixel `pixel` of a picture `pixels` wide showing `count` frames (count >= 1, 0 <= pixel < pixels):
// with s = count / pixels in single precision, the frames trunc(pixel x s) .. trunc((pixel + 1) x s)
// when s >= 1, else the one frame trunc((pixel + 1) x s); either end past the last frame is taken back
// to it. Neighbouring pixels share their boundary frame when s >= 1.
inline PixelSpan SpanUnderPixel(int32_t pixel, int32_t pixels, uint32_t count) {
  const float s = static_cast<float>(count) / static_cast<float>(pixels);
  const int64_t last_frame = int64_t{count} - 1;
  const auto end = std::min(static_cast<int64_t>(static_cast<float>(pixel + int64_t{1}) * s), last_frame);
  const auto begin = s < 1.0f ? end : std::min(static_cast<int64_t>(static_cast<float>(pixel) * s), last_frame);
  return {static_cast<int32_t>(begin), static_cast<int32_t>(end)};
}

// Whether (x, y) is a pixel of a width x height picture.
inline bool InsidePicture(int32_t x, int32_t y, int32_t width, int32_t height) {
  return x >= 0 && y >= 0 && x < width && y < height;
}

// Calls visit(record) for every cell under pixel (x, y) of a width x height picture of the analyzer's
// frames and rows, sets *frame and *row (when given) to the middle frame and row of the cells, and
// returns the number of cells: 0, visiting nothing, without data or for a pixel outside the picture.
template <typename Analyzer, typename Visit>
int64_t VisitCellsUnder(const Analyzer& analyzer, int32_t x, int32_t y, int32_t width, int32_t height, int32_t* frame,
                        int32_t* row, Visit visit) {
  if (!analyzer.HasData() || !InsidePicture(x, y, width, height)) return 0;
  const PixelSpan frames = SpanUnderPixel(x, width, analyzer.FrameCount());
  const PixelSpan rows = SpanUnderPixel(y, height, static_cast<uint32_t>(analyzer.RowCount()));
  for (int32_t f = frames.first; f <= frames.last; ++f) {
    for (int32_t r = rows.first; r <= rows.last; ++r) visit(analyzer.RecordAt(f, r));
  }
  if (frame != nullptr) *frame = static_cast<int32_t>((int64_t{frames.first} + frames.last) / 2);
  if (row != nullptr) *row = static_cast<int32_t>((int64_t{rows.first} + rows.last) / 2);
  return (int64_t{frames.last} - frames.first + 1) * (int64_t{rows.last} - rows.first + 1);
}

// Calls visit(record) for every row from the last to the first and, within a row, every frame from
// the last to the first: the order in which the peak record is searched.
template <typename Analyzer, typename Visit>
void VisitFromLast(const Analyzer& analyzer, Visit visit) {
  for (int32_t r = analyzer.RowCount() - 1; r >= 0; --r) {
    for (int64_t f = int64_t{analyzer.FrameCount()} - 1; f >= 0; --f)
      visit(analyzer.RecordAt(static_cast<int32_t>(f), r));
  }
}

// out becomes the records of row 0, one per frame; false when there are none.
template <typename Analyzer, typename Record>
bool FillRecordRow(const Analyzer& analyzer, std::vector<Record>& out) {
  out.resize(analyzer.FrameCount());
  for (size_t f = 0; f < out.size(); ++f) out[f] = analyzer.RecordAt(static_cast<int32_t>(f), 0);
  return !out.empty();
}

// out becomes one vector per frame holding the records of its rows; emptied and false without data.
template <typename Analyzer, typename Record>
bool FillRecordGrid(const Analyzer& analyzer, std::vector<std::vector<Record>>& out) {
  if (!analyzer.HasData()) {
    out.clear();
    return false;
  }
  out.assign(analyzer.FrameCount(), std::vector<Record>(static_cast<size_t>(std::max(analyzer.RowCount(), 0))));
  for (size_t f = 0; f < out.size(); ++f) {
    for (size_t r = 0; r < out[f].size(); ++r)
      out[f][r] = analyzer.RecordAt(static_cast<int32_t>(f), static_cast<int32_t>(r));
  }
  return true;
}

}  // namespace melvox

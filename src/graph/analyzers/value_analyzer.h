// CValueAnalyzer: the base of the analyzers that give a graph one signed 32-bit value per frame and
// render the values onto its pixel columns (the envelope, crossing and pitch graphs).
#pragma once

#include <cstdint>
#include <vector>

#include "graph/analyzers/analyzer_common.h"

namespace melvox {

class CSoundAnalysis;

// A frame is one 10 ms step of a CSoundAnalysis (crossing and pitch analyzers) or one envelope point
// (envelope analyzer); frames count from 0, and every analyzer has one row. Rendering gives each pixel
// column the mean of the frames that fall on it, scaled so that a reference value maps to `scale`
// pixels (a height, >= 0) and limited to -scale .. scale. The reference is the largest absolute value
// of the frames (PeakRecord, computed once and cached), the largest among the linked analyzers when
// some are linked, or a fixed number that a derived analyzer passes to RenderColumnsWith.
//
// The base keeps the attached analysis: FrameCount is the number of its FrameResults, HasData whether
// that is above 0, Clear detaches it, and Compute attaches one and drops the cached peak. Without data
// every operation yields 0, false or an empty result; a reference of 0 renders columns of 0.
//
// The virtual operations keep this order (destructor first, Compute last).
//
// Threading: an analyzer is built, used and destroyed on one thread, by the view that is given a sound.
// It reads the analysis it is given, which must outlive it, and holds no process-wide state. It cannot
// be copied: linked analyzers point at each other, and an analyzer leaves its partners when destroyed.
class CValueAnalyzer {
 public:
  using Grid = std::vector<std::vector<int32_t>>;

  CValueAnalyzer();
  virtual ~CValueAnalyzer();
  CValueAnalyzer(const CValueAnalyzer&) = delete;
  CValueAnalyzer& operator=(const CValueAnalyzer&) = delete;

  // RenderImageWith against ReferenceRecord.
  virtual bool RenderImage(Grid& grid, int32_t width, int32_t height, int32_t scale);
  // RenderColumnsWith against ReferenceRecord.
  virtual bool RenderColumns(std::vector<int32_t>& out, int32_t width, int32_t scale);
  // grid[x][y] of a width x height picture: the mean of the frames and rows under the pixel (as
  // SampleAt finds them), as trunc(sum x (scale / reference) / cells) in single precision, limited to
  // -scale .. scale (all 0 for a reference of 0). Without data the grid is emptied and false returned.
  virtual bool RenderImageWith(Grid& grid, int32_t width, int32_t height, int32_t scale, int32_t reference) const;
  // out gets `width` columns (none for a width below 1). With step = width / FrameCount and factor =
  // scale / reference in single precision, frame f reaches column trunc((f + 1) x step); a frame that
  // reaches the first column not yet written fills the columns up to the one it reaches with
  // trunc(sum x factor / count) (single precision, limited to -scale .. scale) of the frames since the
  // last written column, summed in 32 bits. Frames after the last column are not read. Without data
  // out's storage is freed and false returned.
  virtual bool RenderColumnsWith(std::vector<int32_t>& out, int32_t width, int32_t scale, int32_t reference) const;
  // The largest absolute value over all frames (0 without data), cached; Compute and the base's Clear
  // drop the cache.
  virtual int32_t PeakRecord();
  virtual int32_t RowCount() const;  // 1
  virtual uint32_t FrameCount() const;
  virtual bool HasData() const;
  virtual void Clear();
  // Pixel (x, y) of a width x height picture: with s = FrameCount / width in single precision, the
  // frames trunc(x x s) .. trunc((x + 1) x s) when s >= 1, else the one frame trunc((x + 1) x s), each
  // end kept below FrameCount; rows likewise from y and height. value = the integer mean of those
  // cells; *frame and *row (when given) = the middle ones. False without data or for a pixel outside
  // the picture.
  virtual bool SampleAt(int32_t x, int32_t y, int32_t width, int32_t height, int32_t& value, int32_t* frame,
                        int32_t* row) const;
  // out[f] = RecordAt(f, 0) for every frame; false when there is none.
  virtual bool FillRow(std::vector<int32_t>& out) const;
  // out[f][r] = RecordAt(f, r); emptied and false without data.
  virtual bool FillGrid(Grid& out) const;
  // Shares the reference with `other` from now on (both ways).
  virtual void Link(CValueAnalyzer* other);
  // The value of a frame; 0 for a frame outside the data. The row is not used.
  virtual int32_t RecordAt(int32_t frame, int32_t row) const = 0;
  // PeakRecord alone, or the largest PeakRecord of the linked analyzers (0 when none is positive).
  virtual int32_t ReferenceRecord();
  // Attaches `analysis` (not owned; null detaches) and drops the cached peak.
  virtual void Compute(const CSoundAnalysis* analysis);

 protected:
  const CSoundAnalysis* Analysis() const { return analysis_; }
  // Caches `peak` as the PeakRecord, for analyzers that find it while they compute.
  void SetPeak(int32_t peak);

 private:
  friend class AnalyzerLinks<CValueAnalyzer>;

  AnalyzerLinks<CValueAnalyzer> links_;
  bool peak_valid_ = false;
  int32_t peak_ = 0;
  const CSoundAnalysis* analysis_ = nullptr;
};

}  // namespace melvox

// CColorAnalyzer: the base of the analyzers that give a graph one ColorRecord per frame and render the
// records onto its pixel columns (the spectrum graph), and SmoothColumns, which evens the columns out.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "graph/analyzers/analyzer_common.h"
#include "graph/analyzers/color_record.h"

namespace melvox {

// Holds what does not depend on the analysis: the cached peak record, the linked analyzers, column
// rendering, hit testing and the copying of records into vectors. A frame is one 10 ms step of the
// sound analysis, counted from 0; every analyzer of this family has one row. The virtual operations
// keep the order of the value analyzers' (CValueAnalyzer), with a ColorRecord in place of the value;
// a derived analyzer adds its Compute after them. Image rendering is not offered.
//
// Without data, RenderImage, RenderColumns, SampleAt, FillRow and FillGrid return false, and
// PeakRecord gives {0, 0, 0, 0}.
//
// Threading: an analyzer is built, used and destroyed on one thread, by the view that is given a sound.
// It reads the analysis it is given, which must outlive it, and holds no process-wide state. It cannot
// be copied: linked analyzers point at each other, and an analyzer leaves its partners when destroyed.
class CColorAnalyzer {
 public:
  using Grid = std::vector<std::vector<ColorRecord>>;

  CColorAnalyzer();
  virtual ~CColorAnalyzer();
  CColorAnalyzer(const CColorAnalyzer&) = delete;
  CColorAnalyzer& operator=(const CColorAnalyzer&) = delete;

  // RenderImageWith against ReferenceRecord: false.
  virtual bool RenderImage(Grid& grid, int32_t width, int32_t height, ColorRecord scale);
  // RenderColumnsWith against ReferenceRecord.
  virtual bool RenderColumns(std::vector<ColorRecord>& out, int32_t width, ColorRecord params);
  // Not offered by this family: false, and the grid is left as it is.
  virtual bool RenderImageWith(Grid& grid, int32_t width, int32_t height, ColorRecord scale,
                               ColorRecord reference) const;
  // out gets `width` columns (none for a width below 1). With scale = width / FrameCount and ratio =
  // params.level / reference.level in single precision (0 when the reference level is not above 0),
  // frame f reaches column trunc((f + 1) x scale); a frame that reaches the first column not yet
  // written fills the columns up to the one it reaches with the mean of the frames since the last
  // written column: integer means of the channels and trunc(sum of levels x ratio / count) in single
  // precision as the bar height. Without data out's storage is freed and false returned.
  virtual bool RenderColumnsWith(std::vector<ColorRecord>& out, int32_t width, ColorRecord params,
                                 ColorRecord reference) const;
  // The record of the greatest level, searched from the last frame to the first starting from level 1
  // (so {0, 0, 0, 1} when no level is above 1, and the latest frame among equals); {0, 0, 0, 0} without
  // data. Cached until the derived analyzer drops the cache.
  virtual ColorRecord PeakRecord();
  virtual int32_t RowCount() const = 0;
  virtual uint32_t FrameCount() const = 0;
  virtual bool HasData() const = 0;
  virtual void Clear() = 0;
  // Pixel (x, y) of a width x height picture, mapped onto frames and rows as CValueAnalyzer::SampleAt
  // does: colour = the integer means of red, green and blue over those cells, *frame and *row (when
  // given) the middle ones. False without data or for a pixel outside the picture.
  virtual bool SampleAt(int32_t x, int32_t y, int32_t width, int32_t height, std::array<int32_t, 3>& colour,
                        int32_t* frame, int32_t* row) const;
  // out[f] = RecordAt(f, 0) for every frame; false when there is none.
  virtual bool FillRow(std::vector<ColorRecord>& out) const;
  // out[f][r] = RecordAt(f, r); emptied and false without data.
  virtual bool FillGrid(Grid& out) const;
  // Shares the reference record with `other` from now on (both ways).
  virtual void Link(CColorAnalyzer* other);
  // The record of a frame; kEmptyColorRecord for a frame outside the data. The row is not used.
  virtual ColorRecord RecordAt(int32_t frame, int32_t row) const = 0;
  // PeakRecord alone. Linked: the members' PeakRecords in the set's order, the one with the greatest
  // red + green + blue above 0 (the first among equals); this analyzer's own PeakRecord when no member's
  // sum is above 0.
  virtual ColorRecord ReferenceRecord();

 protected:
  void InvalidatePeak() { peak_valid_ = false; }

 private:
  friend class AnalyzerLinks<CColorAnalyzer>;

  AnalyzerLinks<CColorAnalyzer> links_;
  bool peak_valid_ = false;
  ColorRecord peak_;
};

// Evens out the columns of RenderColumns with a forward-looking moving average: each column becomes,
// field by field, the integer mean (toward zero) of the input columns i .. min(i + window - 1, m - 1),
// so the window shrinks at the end. Nothing changes unless window >= 2 and there are at least window
// columns. Runs in place with running sums.
void SmoothColumns(std::vector<ColorRecord>& columns, int32_t window);

}  // namespace melvox

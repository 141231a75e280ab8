#include "graph/analyzers/value_analyzer.h"

#include <algorithm>
#include <limits>

#include "analysis/sound_analysis.h"

namespace melvox {
namespace {

// trunc(sum x factor / count) in single precision, limited to -scale .. scale.
int32_t ScaledMean(float sum, float count, float factor, int32_t scale) {
  int64_t value = TruncateToInt32(sum * factor / count);
  if (value > scale) {
    value = scale;
  } else if (value < -int64_t{scale}) {
    value = -int64_t{scale};
  }
  return static_cast<int32_t>(value);
}

}  // namespace

CValueAnalyzer::CValueAnalyzer() : links_(this) {}

CValueAnalyzer::~CValueAnalyzer() = default;

bool CValueAnalyzer::RenderImage(Grid& grid, int32_t width, int32_t height, int32_t scale) {
  const int32_t reference = ReferenceRecord();
  return RenderImageWith(grid, width, height, scale, reference);
}

bool CValueAnalyzer::RenderColumns(std::vector<int32_t>& out, int32_t width, int32_t scale) {
  return RenderColumnsWith(out, width, scale, ReferenceRecord());
}

bool CValueAnalyzer::RenderImageWith(Grid& grid, int32_t width, int32_t height, int32_t scale,
                                     int32_t reference) const {
  if (!HasData()) {
    grid.clear();
    return false;
  }
  grid.assign(static_cast<size_t>(std::max(width, 0)), std::vector<int32_t>(static_cast<size_t>(std::max(height, 0))));
  if (reference == 0) return true;
  const float factor = static_cast<float>(scale) / static_cast<float>(reference);
  for (int32_t x = 0; x < width; ++x) {
    for (int32_t y = 0; y < height; ++y) {
      int64_t sum = 0;
      const int64_t cells =
          VisitCellsUnder(*this, x, y, width, height, nullptr, nullptr, [&sum](int32_t v) { sum += v; });
      grid[x][y] = ScaledMean(static_cast<float>(sum), static_cast<float>(cells), factor, scale);
    }
  }
  return true;
}

bool CValueAnalyzer::RenderColumnsWith(std::vector<int32_t>& out, int32_t width, int32_t scale,
                                       int32_t reference) const {
  if (!HasData()) {
    std::vector<int32_t>().swap(out);
    return false;
  }
  out.assign(static_cast<size_t>(std::max(width, 0)), 0);
  if (reference == 0) return true;
  const float factor = static_cast<float>(scale) / static_cast<float>(reference);
  // The sum wraps around in 32 bits rather than overflowing; only absurd frame counts per column reach
  // that.
  uint32_t sum = 0;
  int32_t count = 0;
  SpreadFrames(
      FrameCount(), width,
      [&](uint32_t f) {
        sum += static_cast<uint32_t>(RecordAt(static_cast<int32_t>(f), 0));
        ++count;
      },
      [&](int32_t first, int32_t last) {
        const float mean_sum = static_cast<float>(static_cast<int32_t>(sum));
        std::fill(out.begin() + first, out.begin() + last + 1,
                  ScaledMean(mean_sum, static_cast<float>(count), factor, scale));
        sum = 0;
        count = 0;
      });
  return true;
}

int32_t CValueAnalyzer::PeakRecord() {
  if (!HasData()) return 0;
  if (!peak_valid_) {
    int32_t peak = 0;
    VisitFromLast(*this, [&peak](int32_t v) {
      if (v > peak) {
        peak = v;
      } else if (v < -peak) {
        peak = v == std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::max() : -v;
      }
    });
    SetPeak(peak);
  }
  return peak_;
}

int32_t CValueAnalyzer::RowCount() const { return 1; }

uint32_t CValueAnalyzer::FrameCount() const {
  return analysis_ == nullptr ? 0 : static_cast<uint32_t>(analysis_->Results().size());
}

bool CValueAnalyzer::HasData() const { return FrameCount() != 0; }

void CValueAnalyzer::Clear() {
  analysis_ = nullptr;
  peak_valid_ = false;
}

bool CValueAnalyzer::SampleAt(int32_t x, int32_t y, int32_t width, int32_t height, int32_t& value, int32_t* frame,
                              int32_t* row) const {
  int64_t sum = 0;
  const int64_t cells = VisitCellsUnder(*this, x, y, width, height, frame, row, [&sum](int32_t v) { sum += v; });
  if (cells == 0) return false;
  value = static_cast<int32_t>(sum / cells);
  return true;
}

bool CValueAnalyzer::FillRow(std::vector<int32_t>& out) const { return FillRecordRow(*this, out); }

bool CValueAnalyzer::FillGrid(Grid& out) const { return FillRecordGrid(*this, out); }

void CValueAnalyzer::Link(CValueAnalyzer* other) { links_.Link(other); }

int32_t CValueAnalyzer::ReferenceRecord() {
  if (links_.Alone()) return PeakRecord();
  int32_t reference = 0;
  for (CValueAnalyzer* member : links_.Members()) reference = std::max(reference, member->PeakRecord());
  return reference;
}

void CValueAnalyzer::Compute(const CSoundAnalysis* analysis) {
  analysis_ = analysis;
  peak_valid_ = false;
}

void CValueAnalyzer::SetPeak(int32_t peak) {
  peak_ = peak;
  peak_valid_ = true;
}

}  // namespace melvox

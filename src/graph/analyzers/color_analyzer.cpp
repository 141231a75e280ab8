#include "graph/analyzers/color_analyzer.h"

#include <algorithm>

namespace melvox {
namespace {

// Running sums of the four fields of some records.
struct RecordSums {
  int64_t red = 0, green = 0, blue = 0, level = 0;

  void Add(const ColorRecord& r, int64_t sign = 1) {
    red += sign * r.red;
    green += sign * r.green;
    blue += sign * r.blue;
    level += sign * r.level;
  }
};

}  // namespace

CColorAnalyzer::CColorAnalyzer() : links_(this) {}

CColorAnalyzer::~CColorAnalyzer() = default;

bool CColorAnalyzer::RenderImage(Grid& grid, int32_t width, int32_t height, ColorRecord scale) {
  const ColorRecord reference = ReferenceRecord();
  return RenderImageWith(grid, width, height, scale, reference);
}

bool CColorAnalyzer::RenderColumns(std::vector<ColorRecord>& out, int32_t width, ColorRecord params) {
  return RenderColumnsWith(out, width, params, ReferenceRecord());
}

bool CColorAnalyzer::RenderImageWith(Grid& /*grid*/, int32_t /*width*/, int32_t /*height*/, ColorRecord /*scale*/,
                                     ColorRecord /*reference*/) const {
  return false;
}

bool CColorAnalyzer::RenderColumnsWith(std::vector<ColorRecord>& out, int32_t width, ColorRecord params,
                                       ColorRecord reference) const {
  if (!HasData()) {
    std::vector<ColorRecord>().swap(out);
    return false;
  }
  out.assign(static_cast<size_t>(std::max(width, 0)), ColorRecord{});
  const float ratio =
      reference.level > 0 ? static_cast<float>(params.level) / static_cast<float>(reference.level) : 0.0f;
  // 32-bit sums, wrapping around rather than overflowing; only absurd frame counts per column reach that.
  uint32_t red = 0, green = 0, blue = 0, level = 0;
  int32_t count = 0;
  SpreadFrames(
      FrameCount(), width,
      [&](uint32_t f) {
        const ColorRecord r = RecordAt(static_cast<int32_t>(f), 0);
        red += static_cast<uint32_t>(r.red);
        green += static_cast<uint32_t>(r.green);
        blue += static_cast<uint32_t>(r.blue);
        level += static_cast<uint32_t>(r.level);
        ++count;
      },
      [&](int32_t first, int32_t last) {
        const ColorRecord column{
            static_cast<int32_t>(red) / count, static_cast<int32_t>(green) / count, static_cast<int32_t>(blue) / count,
            TruncateToInt32(static_cast<float>(static_cast<int32_t>(level)) * ratio / static_cast<float>(count))};
        std::fill(out.begin() + first, out.begin() + last + 1, column);
        red = green = blue = level = 0;
        count = 0;
      });
  return true;
}

ColorRecord CColorAnalyzer::PeakRecord() {
  if (!HasData()) return ColorRecord{};
  if (!peak_valid_) {
    ColorRecord peak{0, 0, 0, 1};
    VisitFromLast(*this, [&peak](const ColorRecord& r) {
      if (r.level > peak.level) peak = r;
    });
    peak_ = peak;
    peak_valid_ = true;
  }
  return peak_;
}

bool CColorAnalyzer::SampleAt(int32_t x, int32_t y, int32_t width, int32_t height, std::array<int32_t, 3>& colour,
                              int32_t* frame, int32_t* row) const {
  RecordSums sums;
  const int64_t cells =
      VisitCellsUnder(*this, x, y, width, height, frame, row, [&sums](const ColorRecord& r) { sums.Add(r); });
  if (cells == 0) return false;
  colour = {static_cast<int32_t>(sums.red / cells), static_cast<int32_t>(sums.green / cells),
            static_cast<int32_t>(sums.blue / cells)};
  return true;
}

bool CColorAnalyzer::FillRow(std::vector<ColorRecord>& out) const { return FillRecordRow(*this, out); }

bool CColorAnalyzer::FillGrid(Grid& out) const { return FillRecordGrid(*this, out); }

void CColorAnalyzer::Link(CColorAnalyzer* other) { links_.Link(other); }

ColorRecord CColorAnalyzer::ReferenceRecord() {
  if (links_.Alone()) return PeakRecord();
  int64_t best_sum = 0;
  bool found = false;
  ColorRecord best;
  for (CColorAnalyzer* member : links_.Members()) {
    const ColorRecord record = member->PeakRecord();
    const int64_t sum = int64_t{record.red} + record.green + record.blue;
    if (sum > best_sum) {
      best_sum = sum;
      best = record;
      found = true;
    }
  }
  return found ? best : PeakRecord();
}

void SmoothColumns(std::vector<ColorRecord>& columns, int32_t window) {
  if (window < 2 || columns.size() < static_cast<size_t>(window)) return;
  const size_t length = static_cast<size_t>(window);
  RecordSums sums;
  for (size_t i = 0; i + 1 < length; ++i) sums.Add(columns[i]);
  ColorRecord previous;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) sums.Add(previous, -1);
    if (i + length - 1 < columns.size()) sums.Add(columns[i + length - 1]);
    const auto count = static_cast<int64_t>(std::min(length, columns.size() - i));
    previous = columns[i];
    columns[i] = {static_cast<int32_t>(sums.red / count), static_cast<int32_t>(sums.green / count),
                  static_cast<int32_t>(sums.blue / count), static_cast<int32_t>(sums.level / count)};
  }
}

}  // namespace melvox

#include "alignment/step_alignment.h"

#include <algorithm>
#include <limits>

namespace melvox {
namespace {

constexpr float kUnreachable = std::numeric_limits<float>::infinity();
// The move that reached a cell.
constexpr uint8_t kDiagonal = 0;  // from (i - 1, j - 1)
constexpr uint8_t kAcross = 1;    // from (i - 1, j - 2) through (i, j - 1)
constexpr uint8_t kDown = 2;      // from (i - 2, j - 1) through (i - 1, j)
constexpr uint8_t kStart = 3;     // the path's first cell
// Fill's full-width rows start this many cells before column 0, for the moves from j - 2.
constexpr int32_t kPad = 2;

// The columns of row i inside the parallelogram of the slope limit, for an n x m grid.
struct RowRange {
  int32_t lo = 0;
  int32_t hi = -1;
};

// Steps of a sound that its ends may leave unmatched.
int32_t LooseSteps(int32_t steps, const AlignmentSettings& settings) {
  return std::min(static_cast<int32_t>(static_cast<float>(steps) * settings.loose_share), settings.loose_steps);
}

// The cells that a path from a start (i0 <= loose_a, j0 = 0, or i0 = 0, j0 <= loose_b) to an end
// (n - 1, j1 >= m - 1 - loose_b, or i1 >= n - 1 - loose_a, m - 1) can pass with slopes 1/2 to 2.
RowRange RangeOf(int32_t i, int32_t n, int32_t m, int32_t loose_a, int32_t loose_b) {
  const int32_t rest = n - 1 - i;
  const int32_t before_end = rest - loose_a;
  return {std::max({0, (i - loose_a + 1) / 2, m - 1 - loose_b - 2 * rest}),
          std::min({m - 1, 2 * i + loose_b, before_end > 0 ? m - 1 - (before_end + 1) / 2 : m - 1})};
}

// The alignment over the parallelogram, row by row: the local distance and the move that reached
// each cell, and the costs of the cells where a path may end.
class CAlignmentGrid {
 public:
  CAlignmentGrid(const AlignmentFeatures& a, const AlignmentFeatures& b, const AlignmentSettings& settings)
      : a_(a),
        b_(b),
        settings_(settings),
        n_(static_cast<int32_t>(a.Steps())),
        m_(static_cast<int32_t>(b.Steps())),
        loose_a_(LooseSteps(n_, settings)),
        loose_b_(LooseSteps(m_, settings)) {
    rows_.resize(static_cast<size_t>(n_));
    starts_.resize(static_cast<size_t>(n_) + 1, 0);
    for (int32_t i = 0; i < n_; ++i) {
      rows_[i] = RangeOf(i, n_, m_, loose_a_, loose_b_);
      starts_[i + 1] = starts_[i] + static_cast<size_t>(std::max(0, rows_[i].hi - rows_[i].lo + 1));
    }
    // Running sums of the unmatched costs from either end.
    skip_a_.assign(static_cast<size_t>(n_) + 1, 0.0f);
    skip_b_.assign(static_cast<size_t>(m_) + 1, 0.0f);
    for (int32_t i = 0; i < n_; ++i) skip_a_[i + 1] = skip_a_[i] + a.unmatched[i];
    for (int32_t j = 0; j < m_; ++j) skip_b_[j + 1] = skip_b_[j] + b.unmatched[j];
    local_.assign(starts_[n_], 0.0f);
    NearestDistances();
    move_.assign(starts_[n_], 0);
  }

  // The local distance, from the table inside the parallelogram, else computed.
  float Local(int32_t i, int32_t j) const {
    if (j >= rows_[i].lo && j <= rows_[i].hi) return local_[starts_[i] + static_cast<size_t>(j - rows_[i].lo)];
    return Distance(i, j);
  }

  // Row by row. The previous two rows' costs are kept in full-width rows that hold kUnreachable
  // outside the parallelogram, and the local distances of this row and the one before over their
  // range and one cell beyond either end (the moves' middle cells reach no further), so the cells of a
  // row need no bounds checks and do not depend on each other.
  void Fill() {
    const size_t width = static_cast<size_t>(m_) + kPad + 1;
    last_column_.assign(static_cast<size_t>(n_), kUnreachable);
    std::vector<float> buffers[6];
    for (std::vector<float>& buffer : buffers) buffer.assign(width, kUnreachable);
    float* cost2 = buffers[0].data() + kPad;  // row i - 2
    float* cost1 = buffers[1].data() + kPad;  // row i - 1
    float* cost0 = buffers[2].data() + kPad;  // row i
    float* local1 = buffers[3].data() + kPad;
    float* local0 = buffers[4].data() + kPad;
    float* moves = buffers[5].data() + kPad;
    for (int32_t i = 0; i < n_; ++i) {
      const int32_t lo = rows_[i].lo;
      const int32_t hi = rows_[i].hi;
      std::fill(local0 - kPad, local0 + m_ + 1, kUnreachable);
      std::fill(cost0 - kPad, cost0 + m_ + 1, kUnreachable);
      float* local = local_.data() + starts_[i];
      for (int32_t j = lo; j <= hi; ++j) {
        local[j - lo] = LessNearest(local[j - lo], i, j);  // the raw distance, kept by NearestDistances
        local0[j] = local[j - lo];
      }
      if (lo > 0 && lo <= hi + 1) local0[lo - 1] = Distance(i, lo - 1);
      if (hi + 1 < m_ && hi >= lo - 1) local0[hi + 1] = Distance(i, hi + 1);
      // The moves as floats here, so that the loop is one of floats only and vectorises.
      for (int32_t j = lo; j <= hi; ++j) {
        const float d = local0[j];
        float best = cost1[j - 1] + 2.0f * d;
        float how = kDiagonal;
        const float across = cost1[j - 2] + 2.0f * local0[j - 1] + d;
        how = across < best ? float{kAcross} : how;
        best = across < best ? across : best;
        const float down = cost2[j - 1] + 2.0f * local1[j] + d;
        how = down < best ? float{kDown} : how;
        best = down < best ? down : best;
        cost0[j] = best;
        moves[j] = how;
      }
      uint8_t* move = move_.data() + starts_[i];
      for (int32_t j = lo; j <= hi; ++j) move[j - lo] = static_cast<uint8_t>(moves[j]);
      // A start, the steps before it left unmatched: the first row and the first column.
      if (i == 0) {
        for (int32_t j = lo; j <= std::min(hi, loose_b_); ++j) Start(0, j, cost0, cost1, cost2, local0, local1, move);
      } else if (i <= loose_a_ && lo == 0 && hi >= 0) {
        Start(i, 0, cost0, cost1, cost2, local0, local1, move);
      }
      if (i == n_ - 1) last_row_.assign(cost0, cost0 + m_);
      last_column_[i] = cost0[m_ - 1];
      std::swap(cost2, cost1);
      std::swap(cost1, cost0);
      std::swap(local1, local0);
    }
  }

  StepAlignment Path() const {
    StepAlignment result;
    // The best end, the steps after it left unmatched.
    float total = kUnreachable;
    int32_t i = n_ - 1;
    int32_t j = m_ - 1;
    auto consider = [&](int32_t end_i, int32_t end_j) {
      const float cost = end_i == n_ - 1 ? last_row_[end_j] : last_column_[end_i];
      const float c = cost + (skip_a_[n_] - skip_a_[end_i + 1]) + (skip_b_[m_] - skip_b_[end_j + 1]);
      if (c < total) total = c, i = end_i, j = end_j;
    };
    consider(n_ - 1, m_ - 1);
    for (int32_t k = 1; k <= loose_b_; ++k) consider(n_ - 1, m_ - 1 - k);
    for (int32_t k = 1; k <= loose_a_; ++k) consider(n_ - 1 - k, m_ - 1);
    if (!(total < kUnreachable)) return result;
    result.found = true;
    result.mean_distance = total / static_cast<float>(n_ + m_);
    for (;;) {
      result.path.push_back({i, j, Local(i, j)});
      const uint8_t move = move_[starts_[i] + static_cast<size_t>(j - rows_[i].lo)];
      if (move == kStart) break;
      if (move == kAcross) {
        result.path.push_back({i, j - 1, Local(i, j - 1)});
        i -= 1, j -= 2;
      } else if (move == kDown) {
        result.path.push_back({i - 1, j, Local(i - 1, j)});
        i -= 2, j -= 1;
      } else {
        i -= 1, j -= 1;
      }
    }
    std::reverse(result.path.begin(), result.path.end());
    return result;
  }

 private:
  // For every step of either sound, the least distance to any step of the other: how near the other
  // sound comes to it anywhere, whatever the order. The distances of the parallelogram's cells are
  // kept in local_, for Fill.
  void NearestDistances() {
    nearest_a_.assign(static_cast<size_t>(n_), kUnreachable);
    nearest_b_.assign(static_cast<size_t>(m_), kUnreachable);
    std::vector<float> row(static_cast<size_t>(m_));
    for (int32_t i = 0; i < n_; ++i) {
      DistancesFrom(a_, static_cast<size_t>(i), b_, settings_, row.data());
      float nearest = kUnreachable;  // kept in a register: nearest_b_'s stores could alias it
      for (int32_t j = 0; j < m_; ++j) nearest = std::min(nearest, row[j]);
      nearest_a_[i] = nearest;
      for (int32_t j = 0; j < m_; ++j) nearest_b_[j] = std::min(nearest_b_[j], row[j]);
      if (rows_[i].hi >= rows_[i].lo) {
        std::copy(row.begin() + rows_[i].lo, row.begin() + rows_[i].hi + 1,
                  local_.begin() + static_cast<long>(starts_[i]));
      }
    }
  }

  // Cell (i, j) again with a start among its moves, tried in the order diagonal, start, across, down
  // (the first of equal costs is taken).
  void Start(int32_t i, int32_t j, float* cost0, const float* cost1, const float* cost2, const float* local0,
             const float* local1, uint8_t* move) const {
    const float d = local0[j];
    float best = cost1[j - 1] + 2.0f * d;
    uint8_t how = kDiagonal;
    const float start = 2.0f * d + skip_a_[i] + skip_b_[j];
    if (start < best) best = start, how = kStart;
    const float across = cost1[j - 2] + 2.0f * local0[j - 1] + d;
    if (across < best) best = across, how = kAcross;
    const float down = cost2[j - 1] + 2.0f * local1[j] + d;
    if (down < best) best = down, how = kDown;
    cost0[j] = best;
    move[j - rows_[i].lo] = how;
  }

  // The local distance the path is scored on: the distance of the two steps less the mean of their
  // nearest distances. Another voice, noise or a telephone band moves every step of a recording away
  // from the reference; what is left counts only how much worse a step matches at its place in the
  // path than it could match anywhere, which words said in another order cannot avoid. Never below 0.
  float Distance(int32_t i, int32_t j) const {
    return LessNearest(StepDistance(a_, static_cast<size_t>(i), b_, static_cast<size_t>(j), settings_), i, j);
  }
  float LessNearest(float distance, int32_t i, int32_t j) const {
    return distance - 0.5f * (nearest_a_[i] + nearest_b_[j]);
  }

  const AlignmentFeatures& a_;
  const AlignmentFeatures& b_;
  const AlignmentSettings& settings_;
  int32_t n_;
  int32_t m_;
  int32_t loose_a_;
  int32_t loose_b_;
  std::vector<RowRange> rows_;
  std::vector<size_t> starts_;
  std::vector<float> skip_a_;
  std::vector<float> skip_b_;
  std::vector<float> nearest_a_;
  std::vector<float> nearest_b_;
  std::vector<float> last_row_;     // the cost of every cell of the last row (kUnreachable outside it)
  std::vector<float> last_column_;  // and of the last column's cell of every row
  std::vector<float> local_;
  std::vector<uint8_t> move_;
};

}  // namespace

StepAlignment AlignSteps(const AlignmentFeatures& a, const AlignmentFeatures& b, const AlignmentSettings& settings) {
  if (a.Steps() == 0 || b.Steps() == 0) return {};
  CAlignmentGrid grid(a, b, settings);
  grid.Fill();
  return grid.Path();
}

}  // namespace melvox

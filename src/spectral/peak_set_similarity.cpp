#include "spectral/peak_set_similarity.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace melvox {
namespace {

constexpr int32_t kMaxBinDistance = 12;
constexpr float kMaxWeightedDistance = 12.0f;
constexpr int32_t kFlatWeightBin = 24;  // bins from here on weigh 1
constexpr float kLowestBinWeight = 3.0f;
constexpr float kNoCost = std::numeric_limits<float>::max();

// 3 at bin 0 falling linearly to 1 at bin 24.
float BinWeight(int32_t bin) {
  if (bin >= kFlatWeightBin) return 1.0f;
  constexpr float kSlope = static_cast<float>(kFlatWeightBin) / (kLowestBinWeight - 1.0f);
  return 1.0f + static_cast<float>(kFlatWeightBin - bin) / kSlope;
}

struct Candidate {
  int32_t b;  // index into b
  float cost;
};

struct Assignment {
  int32_t a = -1;  // index into a, -1 for none
  float cost = kNoCost;
};

// The peak of a other than `except` whose candidates hold b index j at the smallest cost (the first
// in a's order among equals); {-1, kNoCost} when none does.
Assignment CheapestOffer(const std::vector<std::vector<Candidate>>& candidates, int32_t j, int32_t except) {
  Assignment best;
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (static_cast<int32_t>(i) == except) continue;
    for (const Candidate& candidate : candidates[i]) {
      if (candidate.b == j && candidate.cost < best.cost) best = {static_cast<int32_t>(i), candidate.cost};
    }
  }
  return best;
}

// Settles peaks of b that hold the same peak of a, until every peak of a is held at most once. The
// loser of a conflict drops out of that peak's candidates and takes its cheapest other offer; when it
// finds one, the pass starts again. Each conflict removes one candidate, so this ends.
void ResolveConflicts(std::vector<std::vector<Candidate>>& candidates, std::vector<Assignment>& assigned) {
  const auto count = static_cast<int32_t>(assigned.size());
  bool changed = true;
  while (changed) {
    changed = false;
    for (int32_t j1 = 0; j1 + 1 < count && !changed; ++j1) {
      const int32_t i = assigned[j1].a;
      if (i < 0) continue;
      for (int32_t j2 = j1 + 1; j2 < count && assigned[j1].a == i; ++j2) {
        if (assigned[j2].a != i) continue;
        const int32_t loser = assigned[j1].cost < assigned[j2].cost ? j2 : j1;
        auto& offers = candidates[i];
        offers.erase(std::remove_if(offers.begin(), offers.end(), [&](const Candidate& c) { return c.b == loser; }),
                     offers.end());
        assigned[loser] = CheapestOffer(candidates, loser, i);
        if (assigned[loser].a >= 0) {
          changed = true;
          break;
        }
      }
    }
  }
}

}  // namespace

float UnpairedCost(const SpectralPeak& peak) {
  constexpr float kFree = 20.0f;
  constexpr float kKnee = 35.0f;
  constexpr float kChargeAtKnee = 0.42857143f;
  constexpr float kRise = 5.0f / (1.0f - kChargeAtKnee);  // energy per unit of charge above the knee
  const float e = peak.energy;
  if (peak.bin == 0 || e <= kFree) return 0.0f;
  if (e <= kKnee) return (e - kFree) / kKnee;
  return std::min(1.0f, ((e - kKnee) / kRise + kChargeAtKnee) * 0.9f);
}

float ComparePeakSets(const std::vector<SpectralPeak>& a, const std::vector<SpectralPeak>& b) {
  if (a.empty()) return b.empty() ? 1.0f : 0.0f;
  if (b.empty()) return 0.0f;

  std::vector<std::vector<Candidate>> candidates(a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    for (size_t j = 0; j < b.size(); ++j) {
      const int32_t d = std::abs(a[i].bin - b[j].bin);
      if (d > kMaxBinDistance) continue;
      const float w = (BinWeight(a[i].bin) + BinWeight(b[j].bin)) / 2.0f;
      const float wd = w * static_cast<float>(d);
      if (wd > kMaxWeightedDistance) continue;
      const float cost = wd * wd / 144.0f + std::fabs(a[i].energy - b[j].energy) / 10000.0f;
      candidates[i].push_back({static_cast<int32_t>(j), cost});
    }
  }

  std::vector<Assignment> assigned(b.size());
  for (size_t j = 0; j < b.size(); ++j) assigned[j] = CheapestOffer(candidates, static_cast<int32_t>(j), -1);
  ResolveConflicts(candidates, assigned);

  std::vector<bool> paired(a.size(), false);
  float total = 0.0f;
  int32_t n = 0;
  for (size_t j = 0; j < b.size(); ++j, ++n) {
    const Assignment& pair = assigned[j];
    if (pair.a < 0) {
      total += UnpairedCost(b[j]);
      continue;
    }
    const float excess = std::max(0.0f, std::fabs(a[pair.a].energy - b[j].energy) / 5.5f - 1.0f);
    total += std::min(1.0f, 1.2f * pair.cost + 0.33f * excess);
    paired[pair.a] = true;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (paired[i]) continue;
    total += UnpairedCost(a[i]);
    ++n;
  }
  return 1.0f - total / static_cast<float>(n);
}

}  // namespace melvox

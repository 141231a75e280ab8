#include "spectral/peak_set_similarity.h"

#include <vector>

#include <gtest/gtest.h>

namespace melvox {
namespace {

std::vector<SpectralPeak> Peaks(const std::vector<std::pair<int32_t, float>>& table) {
  std::vector<SpectralPeak> peaks;
  for (const auto& [bin, energy] : table) peaks.push_back({0, bin, energy});
  return peaks;
}

TEST(PeakSetSimilarity, WorkedExamples) {
  struct Case {
    const char* name;
    std::vector<std::pair<int32_t, float>> a, b;
    float expected;
  };
  const Case cases[] = {
      {"identical sets", {{10, 30}, {22, 40}, {35, 25}}, {{10, 30}, {22, 40}, {35, 25}}, 1.0f},
      {"second set empty", {{10, 30}}, {}, 0.0f},
      {"first set empty", {}, {{10, 30}}, 0.0f},
      {"both empty", {}, {}, 1.0f},
      // 12 bins apart but weighted 1.67 each in the low bins: no pair; each costs (30 - 20) / 35.
      {"too far for the low-bin weight", {{10, 30}}, {{22, 30}}, 1.0f - (10.0f / 35.0f + 10.0f / 35.0f) / 2.0f},
      // 3 bins apart at weight 1: pair cost 9 / 144, charged 1.2 times.
      {"near pair", {{30, 50}}, {{33, 50}}, 0.925f},
      // Both b peaks lie 2 bins from a's bin 30 at the same cost, so the earlier (bin 28) gives it up
      // and takes bin 40 at cost 1 (charged 1); bin 32 keeps bin 30 (charged 1.2 x 4 / 144). Had the
      // later one given it up, it would have paired with bin 40 at 64 / 144: 1 - (0.0333 + 0.5333) / 2.
      {"earlier of equal claims loses", {{30, 30}, {40, 30}}, {{28, 30}, {32, 30}}, 1.0f - (1.0f + 0.0333333f) / 2.0f},
      // A lone peak at bin 0 costs nothing however strong; at bin 1 the same peak costs 1.
      {"unpaired bin 0 is free", {{0, 80}, {30, 50}}, {{30, 50}}, 1.0f},
      {"unpaired bin 1 is not", {{1, 80}, {30, 50}}, {{30, 50}}, 0.5f},
  };
  for (const Case& c : cases) {
    // The examples are worked out to 4 decimals; single-precision sums differ from them far less.
    EXPECT_NEAR(ComparePeakSets(Peaks(c.a), Peaks(c.b)), c.expected, 1e-4f) << c.name;
  }
}

TEST(PeakSetSimilarity, UnpairedCostGrowsWithEnergy) {
  const struct {
    int32_t bin;
    float energy, expected;
  } cases[] = {
      {0, 100.0f, 0.0f},
      {5, 20.0f, 0.0f},
      {5, 30.0f, 10.0f / 35.0f},
      {5, 35.0f, 15.0f / 35.0f},
      // Just above 35 the charge restarts lower: (1 / 8.75 + 3 / 7) x 0.9.
      {5, 36.0f, (1.0f / 8.75f + 3.0f / 7.0f) * 0.9f},
      {5, 50.0f, 1.0f},
  };
  for (const auto& c : cases) {
    // The constants are given to 8 digits; 1e-5 covers their rounding in single precision.
    EXPECT_NEAR(UnpairedCost({0, c.bin, c.energy}), c.expected, 1e-5f) << c.bin << " " << c.energy;
  }
}

}  // namespace
}  // namespace melvox

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

// The costs behind the values are pinned by the results lock; here what pairs and what is free.
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
      // 3 bins apart at weight 1: pair cost 9 / 144, charged 1.2 times.
      {"near pair", {{30, 50}}, {{33, 50}}, 0.925f},
      // A lone peak at bin 0 costs nothing however strong; at bin 1 the same peak costs 1.
      {"unpaired bin 0 is free", {{0, 80}, {30, 50}}, {{30, 50}}, 1.0f},
      {"unpaired bin 1 is not", {{1, 80}, {30, 50}}, {{30, 50}}, 0.5f},
  };
  for (const Case& c : cases) {
    // The examples are worked out to 4 decimals; single-precision sums differ from them far less.
    EXPECT_NEAR(ComparePeakSets(Peaks(c.a), Peaks(c.b)), c.expected, 1e-4f) << c.name;
  }
}

}  // namespace
}  // namespace melvox

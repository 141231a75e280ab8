#include "spectral/peak_picking.h"

#include <vector>

#include <gtest/gtest.h>

namespace melvox {
namespace {

// A frame's list holding peaks at the given bins and energies.
PeakList Frame(int32_t frame, const std::vector<std::pair<int32_t, float>>& peaks) {
  PeakList list;
  for (const auto& [bin, energy] : peaks) list.peaks.push_back(SpectralPeak{frame, bin, energy});
  return list;
}

std::vector<int32_t> Bins(const PeakList& list) {
  std::vector<int32_t> bins;
  for (const SpectralPeak& peak : list.peaks) bins.push_back(peak.bin);
  return bins;
}

TEST(PeakPicking, PeaksAboveFiveWithTheirEnergies) {
  struct Case {
    const char* name;
    std::vector<float> spectrum;
    std::vector<int32_t> bins;
    std::vector<float> energies;
  };
  const Case cases[] = {
      {"exactly 5.0", {1.0f, 5.0f, 1.0f}, {}, {}},
      {"just above 5.0", {1.0f, 5.001f, 1.0f}, {1}, {5.001f + 1.0f + 5.001f + 1.0f}},
      // At bin 0 the missing left neighbour reads bin 1: S0 + S1 + S0 + S1.
      {"maximum at bin 0", {8.0f, 3.0f, 1.0f, 0.5f}, {0}, {22.0f}},
      // At the last bin the missing right neighbour counts nothing: 2 S[n-1] + S[n-2].
      {"maximum at the last bin", {0.5f, 1.0f, 3.0f, 8.0f}, {3}, {19.0f}},
      {"empty spectrum", {}, {}, {}},
      // Two hills with a valley between: the higher first, then the other.
      {"two hills", {0, 2, 9, 4, 1, 3, 7, 3, 0}, {2, 6}, {2 + 2 * 9.0f + 4, 3 + 2 * 7.0f + 3}},
      // A shoulder on the skirt of a hill is cleared with it, down to the valley at bin 5 (the first
      // bin below its next two).
      {"shoulder", {0, 2, 9, 8, 7, 1, 3, 6, 3, 0}, {2, 7}, {2 + 2 * 9.0f + 8, 3 + 2 * 6.0f + 3}},
      // A hill one bin wide has no valley before it: the walk clears it with the skirt.
      {"narrow second hill", {0, 2, 9, 8, 7, 1, 6, 0}, {2}, {2 + 2 * 9.0f + 8}},
      // Equal maxima: the lowest bin first.
      {"equal maxima", {0, 3, 6, 3, 0, 2, 4, 6, 4, 2, 0}, {2, 7}, {18.0f, 20.0f}},
  };
  for (const Case& c : cases) {
    PeakList list;
    PickPeaks(7, c.spectrum, list);
    EXPECT_EQ(Bins(list), c.bins) << c.name;
    for (size_t i = 0; i < list.peaks.size() && i < c.energies.size(); ++i) {
      EXPECT_FLOAT_EQ(list.peaks[i].energy, c.energies[i]) << c.name << ", peak " << i;
      EXPECT_EQ(list.peaks[i].frame, 7) << c.name;
    }
  }
  // Never more than 5 peaks: ten hills 0 2 4 P 4 2, each higher than the one before.
  std::vector<float> hills;
  for (int hill = 0; hill < 10; ++hill) hills.insert(hills.end(), {0.0f, 2.0f, 4.0f, 6.0f + hill, 4.0f, 2.0f});
  PeakList list;
  PickPeaks(0, hills, list);
  EXPECT_EQ(Bins(list), std::vector<int32_t>({57, 51, 45, 39, 33}));
}

TEST(PeakPicking, NoiseFramesHaveTheirEnergyHighUpAndNeverStandAlone) {
  // Peaks at bins 10 and 12 of energy 20 each, and one at bin 50: 2.6 x 40 = 104.
  const auto frame = [](int32_t index, float high) { return Frame(index, {{10, 20.0f}, {12, 20.0f}, {50, high}}); };
  struct Case {
    const char* name;
    std::vector<float> high_energies;  // per frame
    std::vector<bool> noise;
  };
  const Case cases[] = {
      {"single candidate loses its flag", {100, 110, 100}, {false, false, false}},
      {"two adjacent keep theirs", {100, 110, 110, 100}, {false, true, true, false}},
      {"energy 100 is no candidate", {100, 100}, {false, false}},
      {"lone candidate at the end", {110, 110, 100, 110}, {true, true, false, false}},
  };
  for (const Case& c : cases) {
    std::vector<PeakList> frames;
    for (size_t i = 0; i < c.high_energies.size(); ++i)
      frames.push_back(frame(static_cast<int32_t>(i), c.high_energies[i]));
    MarkNoiseFrames(frames);
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i].IsNoise(), c.noise[i]) << c.name << ", frame " << i;
  }
  // Bin 0 and bins 17 to 45 count in neither band.
  std::vector<PeakList> outside = {Frame(0, {{0, 50.0f}, {30, 50.0f}, {46, 1.0f}}),
                                   Frame(1, {{0, 50.0f}, {30, 50.0f}, {46, 1.0f}})};
  MarkNoiseFrames(outside);
  EXPECT_TRUE(outside[0].IsNoise());
}

TEST(PeakPicking, PeaksWithoutNeighboursInNearbyFramesArePruned) {
  struct Case {
    const char* name;
    int32_t neighbour_bin;
    bool kept;
  };
  for (const Case& c : {Case{"3 bins away", 17, true}, Case{"4 bins away", 16, false}, Case{"other side", 23, true},
                        Case{"other side, 4 away", 24, false}}) {
    std::vector<PeakList> frames = {Frame(0, {{c.neighbour_bin, 9.0f}}), Frame(1, {}), Frame(2, {{20, 9.0f}}),
                                    Frame(3, {}), Frame(4, {{c.neighbour_bin, 9.0f}})};
    PruneIsolatedPeaks(frames);
    EXPECT_EQ(frames[2].peaks.size(), c.kept ? 1u : 0u) << c.name;
  }
  // Three frames away is too far; neighbours in noise frames do not count; noise frames keep all.
  std::vector<PeakList> frames = {Frame(0, {{20, 9.0f}}), Frame(1, {{20, 9.0f}, {40, 9.0f}}), Frame(2, {}),
                                  Frame(3, {}), Frame(4, {{40, 9.0f}})};
  frames[1].SetNoise(true);
  PruneIsolatedPeaks(frames);
  EXPECT_TRUE(frames[0].peaks.empty());
  EXPECT_EQ(frames[1].peaks.size(), 2u);
  EXPECT_TRUE(frames[4].peaks.empty());

  // A chain of peaks 3 bins apart in every other frame holds together.
  std::vector<PeakList> chain = {Frame(0, {{30, 9.0f}}), Frame(1, {}), Frame(2, {{33, 9.0f}}), Frame(3, {}),
                                 Frame(4, {{36, 9.0f}})};
  PruneIsolatedPeaks(chain);
  EXPECT_EQ(chain[0].peaks.size() + chain[2].peaks.size() + chain[4].peaks.size(), 3u);
}

}  // namespace
}  // namespace melvox

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

// Which peaks are found, which frames are noise and which peaks are pruned; the energies, thresholds and
// distances behind them are pinned with every other result by the results lock.
TEST(PeakPicking, HillTopsAboveTheFloorHighestFirstAtMostFive) {
  const std::pair<std::vector<float>, std::vector<int32_t>> cases[] = {
      {{1.0f, 5.0f, 1.0f}, {}},  // not above the floor
      {{8.0f, 3.0f, 1.0f, 0.5f}, {0}},
      {{0, 2, 9, 4, 1, 3, 7, 3, 0}, {2, 6}},
      // A shoulder on the skirt of a hill is cleared with it, down to the valley.
      {{0, 2, 9, 8, 7, 1, 3, 6, 3, 0}, {2, 7}},
  };
  for (const auto& [spectrum, bins] : cases) {
    PeakList list;
    PickPeaks(7, spectrum, list);
    EXPECT_EQ(Bins(list), bins) << spectrum.size() << " bins";
  }
  // Ten hills 0 2 4 P 4 2, each higher than the one before: the five highest.
  std::vector<float> hills;
  for (int hill = 0; hill < 10; ++hill) hills.insert(hills.end(), {0.0f, 2.0f, 4.0f, 6.0f + hill, 4.0f, 2.0f});
  PeakList list;
  PickPeaks(0, hills, list);
  EXPECT_EQ(Bins(list), std::vector<int32_t>({57, 51, 45, 39, 33}));
}

TEST(PeakPicking, NoiseNeedsTwoFramesInARowAndKeepsItsPeaksWhileLonePeaksGo) {
  // Energy high up (bin 50) far above that of the low bins marks a noise frame, two in a row at least.
  std::vector<PeakList> frames;
  for (const float high : {100.0f, 110.0f, 100.0f, 110.0f, 110.0f}) {
    frames.push_back(Frame(static_cast<int32_t>(frames.size()), {{10, 20.0f}, {12, 20.0f}, {50, high}}));
  }
  MarkNoiseFrames(frames);
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i].IsNoise(), i >= 3) << "frame " << i;

  // A peak without a neighbour in nearby frames goes, unless its frame is noise; a chain holds together.
  std::vector<PeakList> peaks = {Frame(0, {{20, 9.0f}, {33, 9.0f}}), Frame(1, {{20, 9.0f}, {40, 9.0f}}),
                                 Frame(2, {{35, 9.0f}}), Frame(3, {}), Frame(4, {{37, 9.0f}, {60, 9.0f}})};
  peaks[1].SetNoise(true);
  PruneIsolatedPeaks(peaks);
  EXPECT_EQ(Bins(peaks[0]), std::vector<int32_t>({33}));
  EXPECT_EQ(Bins(peaks[1]), std::vector<int32_t>({20, 40}));
  EXPECT_EQ(Bins(peaks[2]), std::vector<int32_t>({35}));
  EXPECT_EQ(Bins(peaks[4]), std::vector<int32_t>({37}));
}

}  // namespace
}  // namespace melvox

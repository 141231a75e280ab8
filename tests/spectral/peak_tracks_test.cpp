// From log spectra to peak tracks: the peaks picked in each step, the noise steps, and the tracks
// linked from the peaks of successive steps.
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "spectral/peak_linking.h"
#include "spectral/peak_picking.h"

namespace melvox {
namespace {

// Frame lists from a table: frames[i] holds peaks {bin, energy}; an empty row is a frame without peaks.
std::vector<PeakList> Frames(const std::vector<std::vector<std::pair<int32_t, float>>>& table) {
  std::vector<PeakList> frames(table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    for (const auto& [bin, energy] : table[i])
      frames[i].peaks.push_back(SpectralPeak{static_cast<int32_t>(i), bin, energy});
  }
  return frames;
}

std::vector<int32_t> FramesOf(const PeakTrack& track) {
  std::vector<int32_t> frames;
  for (const SpectralPeak& peak : track.peaks) frames.push_back(peak.frame);
  return frames;
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
  std::vector<std::vector<std::pair<int32_t, float>>> table;
  for (const float high : {100.0f, 110.0f, 100.0f, 110.0f, 110.0f}) table.push_back({{10, 20}, {12, 20}, {50, high}});
  std::vector<PeakList> frames = Frames(table);
  MarkNoiseFrames(frames);
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i].IsNoise(), i >= 3) << "frame " << i;

  // A peak without a neighbour in nearby frames goes, unless its frame is noise; a chain holds together.
  std::vector<PeakList> peaks = Frames({{{20, 9}, {33, 9}}, {{20, 9}, {40, 9}}, {{35, 9}}, {}, {{37, 9}, {60, 9}}});
  peaks[1].SetNoise(true);
  PruneIsolatedPeaks(peaks);
  std::vector<std::vector<int32_t>> kept;
  for (const PeakList& list : peaks) kept.push_back(Bins(list));
  EXPECT_EQ(kept, (std::vector<std::vector<int32_t>>{{33}, {20, 40}, {35}, {}, {37}}));
}

TEST(PeakLinking, TracksNeedFivePeaksAndBridgeOneFrameGaps) {
  struct Case {
    const char* name;
    std::vector<std::vector<std::pair<int32_t, float>>> frames;
    std::vector<std::vector<int32_t>> track_frames;
  };
  const Case cases[] = {
      {"4 frames", {{{20, 9}}, {{20, 9}}, {{20, 9}}, {{20, 9}}}, {}},
      {"5 frames", {{{20, 9}}, {{20, 9}}, {{20, 9}}, {{20, 9}}, {{20, 9}}}, {{0, 1, 2, 3, 4}}},
      // One bin per frame may drift (cost 5) whatever the energy does.
      {"drift of one bin", {{{20, 9}}, {{21, 30}}, {{22, 9}}, {{23, 30}}, {{24, 9}}}, {{0, 1, 2, 3, 4}}},
      {"jump refused",
       {{{20, 9}}, {{20, 9}}, {{23, 15}}, {{23, 15}}, {{23, 15}}, {{23, 15}}, {{23, 15}}},
       {{2, 3, 4, 5, 6}}},
      // A peak much louder than the track's last ends it (and the two after it make none).
      {"break at 1.7",
       {{{20, 20}}, {{20, 20}}, {{20, 20}}, {{20, 20}}, {{20, 20}}, {}, {{20, 34}}, {{20, 34}}},
       {{0, 1, 2, 3, 4}}},
      // A peak missing in one frame but there in the next: the track bridges the gap with a peak of its own.
      {"gap of one frame", {{{20, 20}}, {{20, 20}}, {{20, 20}}, {}, {{20, 24}}, {{20, 24}}}, {{0, 1, 2, 3, 4, 5}}},
      // Of two peaks equally near, the first in list order continues the track.
      {"equally near", {{{20, 9}}, {{18, 9}, {22, 9}}, {{18, 9}}, {{18, 9}}, {{18, 9}}}, {{0, 1, 2, 3, 4}}},
      // Two steady peaks in the same frames: two tracks, the lower bin first.
      {"two tracks by bin",
       {{{10, 9}, {40, 9}}, {{10, 9}, {41, 9}}, {{10, 9}, {42, 9}}, {{10, 9}, {43, 9}}, {{10, 9}, {44, 9}}},
       {{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}}},
  };
  for (const Case& c : cases) {
    std::vector<PeakList> frames = Frames(c.frames);
    const auto tracks = LinkTracks(frames);
    ASSERT_EQ(tracks->Tracks().size(), c.track_frames.size()) << c.name;
    for (size_t t = 0; t < c.track_frames.size(); ++t)
      EXPECT_EQ(FramesOf(tracks->Tracks()[t]), c.track_frames[t]) << c.name;
    EXPECT_TRUE(frames.empty()) << c.name;  // the frame lists are consumed
  }
}

TEST(PeakLinking, PointsAtGivesTheTracksPeaksOfAFrameByBin) {
  std::vector<PeakList> frames = Frames({{{30, 9}, {0, 9}, {12, 9}},
                                         {{30, 9}, {0, 9}, {12, 9}},
                                         {{30, 9}, {0, 9}, {12, 9}},
                                         {{30, 9}, {0, 9}, {12, 9}},
                                         {{30, 9}, {0, 9}, {12, 9}},
                                         {{12, 9}}});
  const auto tracks = LinkTracks(frames);
  ASSERT_EQ(tracks->Tracks().size(), 3u);
  std::vector<int32_t> bins;
  for (const SpectralPeak& point : tracks->PointsAt(2)) bins.push_back(point.bin);
  EXPECT_EQ(bins, std::vector<int32_t>({12, 30}));  // bin 0 is never returned
  EXPECT_EQ(tracks->PointsAt(5).size(), 1u);
  EXPECT_TRUE(tracks->PointsAt(6).empty());
  EXPECT_TRUE(tracks->PointsAt(-1).empty());
}

TEST(PeakLinking, TrackPeaksFromResults) {
  EXPECT_EQ(TrackPeaks({}), nullptr);

  // Silent steps only: an object without tracks.
  const auto none = TrackPeaks(std::vector<FrameResult>(10));
  ASSERT_NE(none, nullptr);
  EXPECT_TRUE(none->Tracks().empty());
  EXPECT_EQ((std::vector<int32_t>{none->GetStart(), none->GetEnd(), none->FirstFrame(), none->FrameSpan()}),
            (std::vector<int32_t>{-1, -1, -1, 0}));

  // Steps 2..8 with one broad hill at bin 10, the rest silent: one track over those steps.
  std::vector<FrameResult> results(12);
  for (size_t i = 2; i <= 8; ++i) {
    results[i].log_spectrum.assign(60, 1.0f);
    for (int bin = 7; bin <= 13; ++bin) results[i].log_spectrum[bin] = 9.0f - static_cast<float>(std::abs(bin - 10));
  }
  const auto tracks = TrackPeaks(results);
  ASSERT_EQ(tracks->Tracks().size(), 1u);
  EXPECT_EQ(FramesOf(tracks->Tracks()[0]), std::vector<int32_t>({2, 3, 4, 5, 6, 7, 8}));
  EXPECT_FLOAT_EQ(tracks->Tracks()[0].peaks[0].energy, 8.0f + 2 * 9.0f + 8.0f);
  // start, end, first and last frame, frames spanned
  EXPECT_EQ((std::vector<int32_t>{tracks->GetStart(), tracks->GetEnd(), tracks->FirstFrame(), tracks->LastFrame(),
                                  tracks->FrameSpan()}),
            (std::vector<int32_t>{20, 90, 2, 8, 7}));
}

}  // namespace
}  // namespace melvox

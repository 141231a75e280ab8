// From log spectra to peak tracks, and what is made of the tracks: the peaks picked in each step, the
// noise steps, the tracks linked from the peaks of successive steps, the notes, and the tones
// resynthesized from the tracks.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/tone_synthesizer.h"
#include "samples/speech_like.h"
#include "spectral/note_segmentation.h"
#include "spectral/peak_linking.h"
#include "spectral/peak_picking.h"
#include "spectral/track_resynthesis.h"
#include "support/sound_data.h"

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

// A step whose log spectrum holds 10.0 at the given bins over a floor of 1.0, with a valley (0) two
// bins to each side so that picking one peak leaves the others: each peak has energy 2 x 10 + 2.
FrameResult Step(const std::vector<size_t>& bins) {
  FrameResult result;
  result.silent = false;
  result.log_spectrum.assign(60, 1.0f);
  for (const size_t bin : bins) {
    result.log_spectrum[bin] = 10.0f;
    result.log_spectrum[bin - 2] = result.log_spectrum[bin + 2] = 0.0f;
  }
  return result;
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

TEST(PeakLinking, PointsAtGivesTheTracksPeaksOfAFrameByBinAndTrackPeaksMakesThemFromResults) {
  // Peaks at bins 30, 0 and 12 in frames 0 .. 4, and at 12 in frame 5.
  std::vector<std::vector<std::pair<int32_t, float>>> table(5, {{30, 9}, {0, 9}, {12, 9}});
  table.push_back({{12, 9}});
  std::vector<PeakList> frames = Frames(table);
  const auto tracks = LinkTracks(frames);
  ASSERT_EQ(tracks->Tracks().size(), 3u);
  std::vector<int32_t> bins;
  for (const SpectralPeak& point : tracks->PointsAt(2)) bins.push_back(point.bin);
  EXPECT_EQ(bins, std::vector<int32_t>({12, 30}));  // bin 0 is never returned
  EXPECT_EQ(tracks->PointsAt(5).size(), 1u);
  EXPECT_TRUE(tracks->PointsAt(6).empty());
  EXPECT_TRUE(tracks->PointsAt(-1).empty());

  // From results: none for no results, an object without tracks for silent steps only.
  EXPECT_EQ(TrackPeaks({}), nullptr);
  const auto none = TrackPeaks(std::vector<FrameResult>(10));
  ASSERT_NE(none, nullptr);
  EXPECT_TRUE(none->Tracks().empty());
  EXPECT_EQ((std::vector<int32_t>{none->GetStart(), none->GetEnd(), none->FirstFrame(), none->FrameSpan()}),
            (std::vector<int32_t>{-1, -1, -1, 0}));

  // Steps 2..8 with a peak at bin 10, the rest silent: one track over those steps.
  std::vector<FrameResult> results(12);
  std::fill(results.begin() + 2, results.begin() + 9, Step({10}));
  const auto track = TrackPeaks(results);
  ASSERT_EQ(track->Tracks().size(), 1u);
  EXPECT_EQ(FramesOf(track->Tracks()[0]), std::vector<int32_t>({2, 3, 4, 5, 6, 7, 8}));
  // start, end, first and last frame, frames spanned
  EXPECT_EQ((std::vector<int32_t>{track->GetStart(), track->GetEnd(), track->FirstFrame(), track->LastFrame(),
                                  track->FrameSpan()}),
            (std::vector<int32_t>{20, 90, 2, 8, 7}));
}

// Steps from frame 5 on, each with one peak of the given energy (none for 0).
NoteSteps Steps(const std::vector<float>& energies, const std::vector<float>& similarity) {
  NoteSteps steps{5, {}, similarity};
  for (const float e : energies)
    steps.points.push_back(e > 0.0f ? std::vector<SpectralPeak>{{0, 10, e}} : std::vector<SpectralPeak>{});
  return steps;
}

TEST(NoteSegmentation, StepsTakeEverySecondFrameScaledTaperedAndCutAtBin46) {
  // 12 frames with peaks at bins 10, 40 and 50, two silent ones, then 12 with peaks at 20 and 30.
  std::vector<FrameResult> results(12, Step({10, 40, 50}));
  results.resize(14, FrameResult{});
  results.resize(26, Step({20, 30}));
  const NoteSteps steps = PrepareNoteSteps(results);
  ASSERT_EQ(steps.points.size(), 13u);  // frames 0, 2, .., 24
  // Every track point had energy 22, so all become 33; bins 40 and 30 are tapered by
  // 1 - (bin - 29) / 17, and bin 50 is left out.
  const std::vector<std::vector<std::pair<int32_t, float>>> expected = {
      {{10, 33.0f}, {40, 33.0f * 6.0f / 17.0f}}, {}, {{20, 33.0f}, {30, 33.0f * 16.0f / 17.0f}}};
  for (const size_t k : {0, 5, 6, 7, 12}) {
    const auto& want = expected[k < 6 ? 0 : k == 6 ? 1 : 2];  // frame 12 is silent
    ASSERT_EQ(steps.points[k].size(), want.size()) << k;
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(steps.points[k][i].bin, want[i].first) << k;
      EXPECT_NEAR(steps.points[k][i].energy, want[i].second, 1e-4f) << k;  // products of floats
    }
  }
  EXPECT_EQ(steps.similarity[1], 1.0f);                                        // the same points as the step before
  EXPECT_EQ(steps.similarity[6], 0.0f);                                        // points, then none
  EXPECT_TRUE(PrepareNoteSteps(std::vector<FrameResult>(20)).points.empty());  // silent: no tracks
}

TEST(NoteSegmentation, NotesAreEqualPartsOfTheSoundingStepsCarryingTheirLoudSteadyStep) {
  // 20 sounding steps: nine notes back to back, ending at steps i x 20 / 9, from frame 5 (50 ms).
  const std::vector<CNoteSegment> notes =
      GroupNotes(Steps(std::vector<float>(20, 30.0f), std::vector<float>(20, 1.0f)));
  ASSERT_EQ(notes.size(), 9u);
  EXPECT_EQ(notes[0].GetStart(), 50);
  EXPECT_EQ(notes[4].GetStart(), 10 * (5 + 2 * 8));
  EXPECT_EQ(notes[4].GetEnd(), 10 * (5 + 2 * 11));
  EXPECT_EQ(notes[8].GetEnd(), 10 * (5 + 2 * 20));
  EXPECT_EQ(GroupNotes(Steps({30.0f, 30.0f, 30.0f}, {0.0f, 1.0f, 1.0f})).size(), 3u);  // one per step

  // The loudest step (60) lies between unlike steps (x 0.3); a steady step of 40 wins the note and
  // is carried halfway to 33. Steps without points belong to no note: the last one ends at step 5.
  const NoteSteps mixed = Steps({30.0f, 60.0f, 40.0f, 40.0f, 40.0f, 0.0f}, {0.0f, 0.3f, 0.3f, 1.0f, 1.0f, 0.0f});
  EXPECT_EQ(GroupNotes(mixed, 1).at(0).Peaks().at(0).energy, 36.5f);
  EXPECT_EQ(GroupNotes(mixed, 6).size(), 5u);
  EXPECT_EQ(GroupNotes(mixed, 6).back().GetEnd(), 10 * (5 + 2 * 5));
}

constexpr int32_t kHop = 220;  // 22050 Hz

PeakTrack Track(int32_t first_frame, int32_t count, int32_t bin, float energy) {
  PeakTrack track;
  for (int32_t i = 0; i < count; ++i) track.peaks.push_back({first_frame + i, bin, energy});
  return track;
}

TEST(ResynthesizeTracks, OneTrackIsAToneAtNinetyPercentOfFullScaleAndNoTrackNoSound) {
  // Five peaks at bin 10 with energy 33, selection starting 1 s (100 steps) into a wave of 110 steps.
  const CPeakTracks tracks({Track(0, 5, 10, 33.0f)});
  const auto wave = ResynthesizeTracks(tracks, 110 * kHop + 100, kHop, 100 * kHop + 7);
  ASSERT_NE(wave, nullptr);
  ASSERT_EQ(wave->SampleCount(), 110u * 441);
  // Exactly the synthesizer's tone of 960 Hz at 29490 (0.9 x 32767) in steps 100 to 104, silence
  // elsewhere; the synthesizer's own tests check what such a tone holds.
  std::vector<ToneStep> steps(110, ToneStep{0, 0});
  std::fill(steps.begin() + 100, steps.begin() + 105, ToneStep{960, 29490});
  EXPECT_EQ(testing::Samples16(*wave), testing::Samples16(*SynthesizeTone(steps)));
  // No tracks, or tracks only at bin 0 (no pitch), make no sound.
  EXPECT_EQ(ResynthesizeTracks(CPeakTracks({Track(0, 5, 0, 60.0f)}), 12 * kHop, kHop, 0), nullptr);
  EXPECT_EQ(ResynthesizeTracks(CPeakTracks(), 12 * kHop, kHop, 0), nullptr);
}

TEST(ResynthesizeTracks, AnalysedSpeechLastsItsStepsAt44100HzAfterItsSelectionStart) {
  for (const uint32_t rate : {8000u, 11025u, 22050u, 44100u}) {
    SCOPED_TRACE(rate);
    auto wave = samples::MakeWave16(samples::SpeechLike(rate, samples::DemoPhrase(), samples::Voice{}), rate);
    const auto hop = static_cast<int32_t>(rate / 100);
    wave->SetSelection(static_cast<int32_t>(rate), static_cast<int32_t>(wave->SampleCount()) - 1);  // from 1 s
    const CSoundAnalysis analysis(wave.get(), 0);
    const CSpectralAnalysis spectral(analysis);
    ASSERT_NE(spectral.PeakTracks(), nullptr);
    ASSERT_FALSE(spectral.PeakTracks()->Tracks().empty());

    const auto sound = ResynthesizeTracks(spectral);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->Format().nSamplesPerSec, 44100u);
    EXPECT_EQ(sound->SampleCount(), wave->SampleCount() / hop * 441);
    // The first tone starts in the step of the first track frame, 100 steps after the wave's start.
    const std::vector<int16_t> s = testing::Samples16(*sound);
    const auto first = std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; }) - s.begin();
    EXPECT_EQ(first / 441, spectral.PeakTracks()->FirstFrame() + 100);
  }
}

}  // namespace
}  // namespace melvox

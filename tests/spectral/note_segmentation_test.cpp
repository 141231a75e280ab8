#include "spectral/note_segmentation.h"

#include <vector>

#include <gtest/gtest.h>

namespace melvox {
namespace {

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

}  // namespace
}  // namespace melvox

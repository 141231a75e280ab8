#include "spectral/note_segmentation.h"

#include <vector>

#include <gtest/gtest.h>

#include "analysis/sound_analysis.h"
#include "samples/speech_like.h"

namespace melvox {
namespace {

// A step whose log spectrum holds 10.0 at the given bins over a floor of 1.0, with a valley (0) two bins
// to each side so that picking one peak leaves the others: each becomes a peak of energy 2 x 10 + 2.
FrameResult Step(const std::vector<int32_t>& bins) {
  FrameResult result;
  result.silent = false;
  result.log_spectrum.assign(60, 1.0f);
  for (const int32_t bin : bins) {
    result.log_spectrum[static_cast<size_t>(bin)] = 10.0f;
    result.log_spectrum[static_cast<size_t>(bin - 2)] = result.log_spectrum[static_cast<size_t>(bin + 2)] = 0.0f;
  }
  return result;
}

NoteSteps StepsWithEnergies(const std::vector<float>& energies, const std::vector<float>& similarity) {
  NoteSteps steps;
  steps.first_frame = 5;
  for (const float energy : energies) {
    steps.points.push_back(energy > 0.0f ? std::vector<SpectralPeak>{{0, 10, energy}} : std::vector<SpectralPeak>{});
  }
  steps.similarity = similarity;
  return steps;
}

TEST(NoteSegmentation, StepsTakeEverySecondFrameScaledTaperedAndCutAtBin46) {
  // 12 frames with peaks at bins 10, 40 and 50, two silent ones, then 12 with peaks at 20 and 30.
  std::vector<FrameResult> results(12, Step({10, 40, 50}));
  results.resize(14, FrameResult{});
  results.resize(26, Step({20, 30}));
  const NoteSteps steps = PrepareNoteSteps(results);

  EXPECT_EQ(steps.first_frame, 0);
  ASSERT_EQ(steps.points.size(), 13u);  // frames 0, 2, .., 24
  ASSERT_EQ(steps.similarity.size(), 13u);
  // Every track point had energy 22, so all become 33; bin 40 is tapered to 1 - 11/17 of that,
  // bin 30 to 1 - 1/17, and bin 50 is left out.
  const std::vector<std::pair<int32_t, float>> first = {{10, 33.0f}, {40, 33.0f * 6.0f / 17.0f}};
  const std::vector<std::pair<int32_t, float>> last = {{20, 33.0f}, {30, 33.0f * 16.0f / 17.0f}};
  for (const size_t k : {size_t{0}, size_t{5}, size_t{7}, size_t{12}}) {
    const auto& expected = k < 6 ? first : last;
    ASSERT_EQ(steps.points[k].size(), expected.size()) << k;
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(steps.points[k][i].bin, expected[i].first) << k;
      EXPECT_NEAR(steps.points[k][i].energy, expected[i].second, 1e-4f) << k;  // products of floats
    }
  }
  EXPECT_TRUE(steps.points[6].empty());  // frame 12 is silent
  EXPECT_EQ(steps.similarity[1], 1.0f);  // the same points as the step before
  EXPECT_EQ(steps.similarity[6], 0.0f);  // points, then none

  EXPECT_TRUE(PrepareNoteSteps(std::vector<FrameResult>(20)).points.empty());  // silent: no tracks
}

TEST(NoteSegmentation, NotesAreEqualPartsCarryingTheirLoudSteadyStep) {
  // 20 steps: nine notes of 2 or 3 steps, back to back from the first step's frame (5, so 50 ms).
  const NoteSteps twenty = StepsWithEnergies(std::vector<float>(20, 30.0f), std::vector<float>(20, 1.0f));
  const std::vector<CNoteSegment> notes = GroupNotes(twenty);
  ASSERT_EQ(notes.size(), 9u);
  const int32_t ends[] = {2, 4, 6, 8, 11, 13, 15, 17, 20};  // i x 20 / 9
  int32_t begin = 0;
  for (size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(notes[i].GetStart(), 10 * (5 + 2 * begin)) << i;
    EXPECT_EQ(notes[i].GetEnd(), 10 * (5 + 2 * ends[i])) << i;
    begin = ends[i];
  }
  // Fewer steps than notes: one note per step.
  EXPECT_EQ(GroupNotes(StepsWithEnergies({30.0f, 30.0f, 30.0f}, {0.0f, 1.0f, 1.0f})).size(), 3u);
  EXPECT_TRUE(GroupNotes(NoteSteps{}).empty());

  // In one note: the loudest step (60) sits between unlike steps (60 x 0.3); a steady step of 40 wins.
  const NoteSteps mixed =
      StepsWithEnergies({30.0f, 60.0f, 40.0f, 40.0f, 40.0f, 0.0f}, {0.0f, 0.3f, 0.3f, 1.0f, 1.0f, 0.0f});
  const std::vector<CNoteSegment> one = GroupNotes(mixed, 1);
  ASSERT_EQ(one.size(), 1u);
  ASSERT_EQ(one[0].Peaks().size(), 1u);
  EXPECT_EQ(one[0].Peaks()[0].energy, 40.0f);
  // Notes over steps without points carry none.
  const std::vector<CNoteSegment> parts = GroupNotes(mixed, 6);
  ASSERT_EQ(parts.size(), 6u);
  EXPECT_TRUE(parts[5].Peaks().empty());
}

TEST(NoteSegmentation, AnAnalysisKeepsOneNoteListInTimeOrder) {
  auto wave = samples::MakeWave16(samples::SpeechLike(22050, samples::DemoPhrase(), samples::Voice{}), 22050);
  const CSoundAnalysis analysis(wave.get(), 0);
  const std::vector<CNoteSegment>& notes = analysis.GetProductC();
  EXPECT_EQ(&analysis.GetProductC(), &notes);
  ASSERT_EQ(notes.size(), static_cast<size_t>(kNotesPerSound));
  for (size_t i = 1; i < notes.size(); ++i) EXPECT_EQ(notes[i].GetStart(), notes[i - 1].GetEnd()) << i;
  EXPECT_GE(notes.front().GetStart(), 0);
  EXPECT_LE(notes.back().GetEnd(), 10 * static_cast<int32_t>(analysis.Results().size()) + 10);

  // A wave shorter than one analysis frame leaves the analysis, and its note list, empty.
  auto short_wave = samples::MakeWave16(std::vector<int16_t>(50, 0), 22050);
  EXPECT_TRUE(CSoundAnalysis(short_wave.get(), 0).GetProductC().empty());
}

}  // namespace
}  // namespace melvox

#include "spectral/note_list_comparison.h"

#include <vector>

#include <gtest/gtest.h>

#include "spectral/peak_set_similarity.h"

namespace melvox {
namespace {

// A note of `frames` 10 ms steps holding one peak.
CNoteSegment Note(int32_t frames, int32_t bin, float energy) {
  return CNoteSegment(0, 10 * frames, {SpectralPeak{0, bin, energy}});
}

// Peaks 15 bins apart with energy 60 pair with nothing and charge 1 each: these notes are alike (1)
// only to themselves and not at all (0) to each other.
CNoteSegment Distinct(int32_t which, int32_t frames = 12) { return Note(frames, 5 + 15 * which, 60.0f); }

// Sums of a dozen single-precision terms stay within 1e-5 of the expected value.
constexpr float kSumTolerance = 1e-5f;

TEST(NoteListComparison, AMatchNeedsASimilarityOfAtLeastPointFour) {
  // Row 0 matches column 0; row 1 meets column 1 at 8 bins with energies 50 and 50 + gap.
  for (const float gap : {6.76f, 6.43f}) {
    const std::vector<CNoteSegment> rows = {Distinct(0), Note(12, 40, 50.0f)};
    const std::vector<CNoteSegment> columns = {Distinct(0), Note(12, 48, 50.0f + gap)};
    const float similarity = ComparePeakSets(rows[1].Peaks(), columns[1].Peaks());
    ASSERT_NEAR(similarity, gap > 6.6f ? 0.39f : 0.41f, 0.005f);  // the gaps were solved for these
    // Unmatched, row 1 and column 1 are each charged 1 - their weight.
    const float expected = similarity < 0.4f ? (1.0f + 2.0f - NoteWeight(1, rows) - NoteWeight(1, columns)) / 3.0f
                                             : (1.0f + similarity) / 2.0f;
    EXPECT_NEAR(CompareNoteLists(rows, columns), expected, kSumTolerance) << gap;
  }
}

TEST(NoteListComparison, NoMatchGivesZeroAndNotesWithoutPeaksAreLeftOut) {
  // Short notes would cost little unmatched; without any match the result is 0 all the same.
  EXPECT_EQ(CompareNoteLists({Distinct(0, 2), Distinct(1, 2)}, {Distinct(2, 2), Distinct(3, 2)}), 0.0f);
  EXPECT_EQ(CompareNoteLists({Distinct(0)}, {}), 0.0f);
  EXPECT_EQ(CompareNoteLists({CNoteSegment(0, 100, {})}, {Distinct(0)}), 0.0f);
  // A note without peaks is left out: between alike notes it changes nothing.
  EXPECT_EQ(CompareNoteLists({Distinct(0), Distinct(1)}, {Distinct(0), CNoteSegment(0, 100, {}), Distinct(1)}), 1.0f);
}

}  // namespace
}  // namespace melvox

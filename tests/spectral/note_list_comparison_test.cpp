#include "spectral/note_list_comparison.h"

#include <algorithm>
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

TEST(NoteListComparison, NoteWeightCountsLengthEnergyAndAShortLastNote) {
  const std::vector<CNoteSegment> list = {Note(5, 10, 66.6f), Note(10, 10, 66.6f), Note(20, 10, 200.0f),
                                          Note(5, 10, 66.6f)};
  // (5 / 10 + 0.1) x 0.8; 0.8 from 10 steps on; at most 1; the short last note 0.3 times as much.
  const float expected[] = {0.48f, 0.8f, 1.0f, 0.144f};
  for (size_t k = 0; k < list.size(); ++k) EXPECT_NEAR(NoteWeight(k, list), expected[k], 1e-5f) << k;
}

TEST(NoteListComparison, RowsFallWhereTheListsSpreadEvenly) {
  // Alike notes everywhere except rows marked unmatchable: each row takes the column where it falls
  // when the rows not yet left unmatched and the columns are spread evenly over each other (rounded),
  // since its neighbours lose 0.025. The columns differ in length only, so which stay unmatched
  // shows in the result through their weights.
  const struct {
    std::vector<bool> unmatchable;  // per row
    int32_t columns;
    std::vector<int32_t> matched;  // the columns the other rows take
  } cases[] = {
      {{false, false, false, false}, 8, {0, 2, 4, 6}},
      {{false, false, false}, 4, {0, 1, 3}},  // row 2 falls at 2.67
      {{true, false, false}, 4, {0, 1}},      // after a skipped row: 0 and 1.33
  };
  for (const auto& c : cases) {
    std::vector<CNoteSegment> rows, columns;
    for (const bool unmatchable : c.unmatchable) rows.push_back(unmatchable ? Distinct(3) : Note(10, 30, 50.0f));
    for (int32_t j = 0; j < c.columns; ++j) columns.push_back(Note(j + 1, 30, 50.0f));
    float total = static_cast<float>(c.matched.size());
    size_t terms = c.matched.size();
    for (size_t i = 0; i < rows.size(); ++i) {
      if (c.unmatchable[i]) total += 1.0f - NoteWeight(i, rows), ++terms;
    }
    for (int32_t j = 0; j < c.columns; ++j) {
      if (std::count(c.matched.begin(), c.matched.end(), j) == 0) total += 1.0f - NoteWeight(j, columns), ++terms;
    }
    EXPECT_NEAR(CompareNoteLists(rows, columns), total / static_cast<float>(terms), kSumTolerance) << c.columns;
  }
}

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

TEST(NoteListComparison, ACrossingAddsOneTermAndNotesWithoutPeaksAreLeftOut) {
  // Row 0 finds its twin three columns on (1 - 0.225), row 1 its twin at column 2, before it.
  const std::vector<CNoteSegment> rows = {Distinct(3), Distinct(2)};
  std::vector<CNoteSegment> columns = {Distinct(0), Distinct(1), Distinct(2), Distinct(3)};
  const float crossing =
      1.0f - (NoteWeight(0, rows) + NoteWeight(1, rows) + NoteWeight(3, columns) + NoteWeight(2, columns)) / 4.0f;
  const float unmatched = 2.0f - NoteWeight(0, columns) - NoteWeight(1, columns);
  const float expected = (crossing + 0.775f + 1.0f + unmatched) / 5.0f;
  EXPECT_NEAR(CompareNoteLists(rows, columns), expected, kSumTolerance);
  columns.insert(columns.begin() + 1, CNoteSegment(0, 100, {}));
  EXPECT_NEAR(CompareNoteLists(rows, columns), expected, kSumTolerance);
}

TEST(NoteListComparison, NoMatchGivesZero) {
  // Short notes would cost little unmatched; without any match the result is 0 all the same.
  EXPECT_EQ(CompareNoteLists({Distinct(0, 2), Distinct(1, 2)}, {Distinct(2, 2), Distinct(3, 2)}), 0.0f);
  EXPECT_EQ(CompareNoteLists({Distinct(0)}, {}), 0.0f);
  EXPECT_EQ(CompareNoteLists({CNoteSegment(0, 100, {})}, {Distinct(0)}), 0.0f);
}

}  // namespace
}  // namespace melvox

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

// Notes at bins 15 bins apart with energy 60 pair with nothing and charge 1 each: similarity 0.
CNoteSegment Distinct(int32_t which, int32_t frames = 12) { return Note(frames, 5 + 15 * which, 60.0f); }

TEST(NoteListComparison, NoteWeightCountsLengthEnergyAndAShortLastNote) {
  const std::vector<CNoteSegment> list = {Note(5, 10, 66.6f), Note(10, 10, 66.6f), Note(20, 10, 200.0f),
                                          Note(5, 10, 66.6f)};
  // (5 / 10 + 0.1) x 0.8 = 0.48; 0.3 times that for the last note; 0.8 from 10 steps; at most 1.
  const float expected[] = {0.48f, 0.8f, 1.0f, 0.144f};
  // Products of single-precision constants: 1e-5 covers their rounding.
  for (size_t k = 0; k < list.size(); ++k) EXPECT_NEAR(NoteWeight(k, list), expected[k], 1e-5f) << k;
}

TEST(NoteListComparison, RowsFallWhereTheListsSpreadEvenly) {
  // All notes hold the same peaks, except rows marked unmatchable; a row takes the column where it
  // falls when the rows not yet left unmatched and the columns are spread evenly over each other
  // (rounded), since its neighbours lose 0.025. The columns differ only in length, so which ones stay
  // unmatched shows in the result through their weights.
  struct Case {
    std::vector<bool> unmatchable;  // per row
    int32_t columns;
    std::vector<int32_t> matched;  // the columns the matchable rows take
  };
  const Case cases[] = {
      {{false, false, false, false}, 8, {0, 2, 4, 6}},
      {{false, false, false}, 4, {0, 1, 3}},  // row 2 falls at 2.67 and rounds to 3
      {{true, false, false}, 4, {0, 1}},      // after a skipped row: 0 and 1.33
  };
  for (const Case& c : cases) {
    std::vector<CNoteSegment> rows;
    for (const bool unmatchable : c.unmatchable) rows.push_back(unmatchable ? Distinct(3) : Note(10, 30, 50.0f));
    std::vector<CNoteSegment> columns;
    for (int32_t j = 0; j < c.columns; ++j) columns.push_back(Note(j + 1, 30, 50.0f));
    float total = static_cast<float>(c.matched.size());
    int32_t terms = static_cast<int32_t>(c.matched.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      if (c.unmatchable[i]) total += 1.0f - NoteWeight(i, rows), ++terms;
    }
    for (int32_t j = 0; j < c.columns; ++j) {
      if (std::find(c.matched.begin(), c.matched.end(), j) == c.matched.end()) {
        total += 1.0f - NoteWeight(static_cast<size_t>(j), columns), ++terms;
      }
    }
    // Sums of a dozen single-precision terms: 1e-5.
    EXPECT_NEAR(CompareNoteLists(rows, columns), total / static_cast<float>(terms), 1e-5f) << c.columns;
  }

  // A row whose only partner lies two columns from where it should fall keeps 1 - 0.1.
  const std::vector<CNoteSegment> row = {Distinct(2)};
  const std::vector<CNoteSegment> three = {Distinct(0), Distinct(1), Distinct(2)};
  const float rest = (1.0f - NoteWeight(0, three)) + (1.0f - NoteWeight(1, three));
  EXPECT_NEAR(CompareNoteLists(row, three), (0.9f + rest) / 3.0f, 1e-5f);
}

TEST(NoteListComparison, AMatchNeedsASimilarityOfAtLeastPointFour) {
  // Row 0 matches column 0 exactly; row 1 meets column 1 at 8 bins with energies 50 and 50 + gap,
  // a similarity of about 0.39 or 0.41.
  for (const float gap : {6.76f, 6.43f}) {
    const std::vector<CNoteSegment> rows = {Distinct(0), Note(12, 40, 50.0f)};
    const std::vector<CNoteSegment> columns = {Distinct(0), Note(12, 48, 50.0f + gap)};
    const float similarity = ComparePeakSets(rows[1].Peaks(), columns[1].Peaks());
    const float result = CompareNoteLists(rows, columns);
    if (gap > 6.6f) {
      ASSERT_NEAR(similarity, 0.39f, 0.005f);
      // Row 1 and column 1 stay unmatched, each charged 1 - its weight.
      EXPECT_NEAR(result, (1.0f + 2.0f - NoteWeight(1, rows) - NoteWeight(1, columns)) / 3.0f, 1e-5f);
    } else {
      ASSERT_NEAR(similarity, 0.41f, 0.005f);
      EXPECT_NEAR(result, (1.0f + similarity) / 2.0f, 1e-5f);
    }
  }
}

TEST(NoteListComparison, ACrossingAddsOneTermAndNotesWithoutPeaksAreLeftOut) {
  // Row 0 finds its twin three columns on (0.775 after the penalty), row 1 its twin at column 2,
  // before it: one crossing term. The note without peaks among the columns changes nothing.
  const std::vector<CNoteSegment> rows = {Distinct(3), Distinct(2)};
  const std::vector<CNoteSegment> columns = {Distinct(0), Distinct(1), Distinct(2), Distinct(3)};
  std::vector<CNoteSegment> with_empty = columns;
  with_empty.insert(with_empty.begin() + 1, CNoteSegment(0, 100, {}));
  const float crossing =
      1.0f - (NoteWeight(0, rows) + NoteWeight(1, rows) + NoteWeight(3, columns) + NoteWeight(2, columns)) / 4.0f;
  const float unmatched = (1.0f - NoteWeight(0, columns)) + (1.0f - NoteWeight(1, columns));
  const float expected = (crossing + 0.775f + 1.0f + unmatched) / 5.0f;
  EXPECT_NEAR(CompareNoteLists(rows, columns), expected, 1e-5f);  // sums of single-precision terms
  EXPECT_NEAR(CompareNoteLists(rows, with_empty), expected, 1e-5f);
}

TEST(NoteListComparison, NoMatchGivesZero) {
  // Weak, short notes would cost almost nothing unmatched; without any match the result is 0 anyway.
  const std::vector<CNoteSegment> rows = {Distinct(0, 2), Distinct(1, 2)};
  const std::vector<CNoteSegment> columns = {Distinct(2, 2), Distinct(3, 2)};
  EXPECT_EQ(CompareNoteLists(rows, columns), 0.0f);
  EXPECT_EQ(CompareNoteLists(rows, {}), 0.0f);
  EXPECT_EQ(CompareNoteLists({CNoteSegment(0, 100, {})}, columns), 0.0f);
}

}  // namespace
}  // namespace melvox

#include "spectral/note_list_comparison.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "spectral/peak_set_similarity.h"

namespace melvox {
namespace {

constexpr int32_t kBand = 3;                // rows and columns farther apart are not compared
constexpr float kMatchThreshold = 0.4f;     // a row's best value below this leaves it unmatched
constexpr float kDistancePenalty = 0.025f;  // per squared column away from the expected one

struct Match {
  int32_t column = -1;
  float score = 0.0f;
};

std::vector<CNoteSegment> WithPeaks(const std::vector<CNoteSegment>& notes) {
  std::vector<CNoteSegment> kept;
  for (const CNoteSegment& note : notes) {
    if (!note.Peaks().empty()) kept.push_back(note);
  }
  return kept;
}

// Each row's best column by penalised similarity, or none below the threshold.
std::vector<Match> MatchRows(const std::vector<CNoteSegment>& rows, const std::vector<CNoteSegment>& columns) {
  const auto n0 = static_cast<int32_t>(rows.size());
  const auto n1 = static_cast<int32_t>(columns.size());
  std::vector<Match> matches(rows.size());
  int32_t skipped = 0;
  for (int32_t i = 0; i < n0; ++i) {
    // Where the row falls when both lists are spread evenly over each other, leaving out the rows
    // already left unmatched.
    const auto expected =
        static_cast<int32_t>(static_cast<float>(i - skipped) / static_cast<float>(n0) * static_cast<float>(n1) + 0.5f);
    Match& match = matches[i];
    for (int32_t j = std::max(0, i - kBand); j <= std::min(n1 - 1, i + kBand); ++j) {
      float value = ComparePeakSets(rows[i].Peaks(), columns[j].Peaks());
      if (value == 0.0f) continue;  // no similarity is no candidate, whatever the distance
      value -= kDistancePenalty * static_cast<float>((j - expected) * (j - expected));
      if (value > match.score) match = {j, value};
    }
    if (match.score < kMatchThreshold) {
      match = {};
      ++skipped;
    }
  }
  return matches;
}

}  // namespace

float NoteWeight(size_t k, const std::vector<CNoteSegment>& list) {
  const CNoteSegment& note = list[k];
  const int32_t steps = note.FrameSpan();
  float w = 0.8f;
  if (steps < 10) {
    w = (static_cast<float>(steps) / 10.0f + 0.1f) * 0.8f;
    if (k + 1 == list.size()) w *= 0.3f;
  }
  float energy = 0.0f;
  for (const SpectralPeak& peak : note.Peaks()) energy += peak.energy;
  return std::min(1.0f, energy / 66.6f * w);
}

float CompareNoteLists(const std::vector<CNoteSegment>& first, const std::vector<CNoteSegment>& second) {
  const std::vector<CNoteSegment> rows = WithPeaks(first);
  const std::vector<CNoteSegment> columns = WithPeaks(second);
  if (rows.empty() || columns.empty()) return 0.0f;
  const std::vector<Match> matches = MatchRows(rows, columns);

  float total = 0.0f;
  int32_t crossings = 0;
  // A match that runs back before the previous match costs an extra term, low for important notes.
  const Match* previous = nullptr;
  size_t previous_row = 0;
  for (size_t i = 0; i < matches.size(); ++i) {
    const Match& match = matches[i];
    if (match.column < 0) continue;
    if (previous != nullptr && match.column < previous->column) {
      total += 1.0f - (NoteWeight(previous_row, rows) + NoteWeight(i, rows) +
                       NoteWeight(static_cast<size_t>(previous->column), columns) +
                       NoteWeight(static_cast<size_t>(match.column), columns)) /
                          4.0f;
      ++crossings;
    }
    previous = &match;
    previous_row = i;
  }

  int32_t matched = 0;
  int32_t unmatched = 0;
  std::vector<bool> column_matched(columns.size(), false);
  for (size_t i = 0; i < matches.size(); ++i) {
    if (matches[i].column >= 0) {
      total += matches[i].score;
      ++matched;
      column_matched[static_cast<size_t>(matches[i].column)] = true;
    } else {
      total += 1.0f - NoteWeight(i, rows);
      ++unmatched;
    }
  }
  if (matched == 0) return 0.0f;
  for (size_t j = 0; j < columns.size(); ++j) {
    if (column_matched[j]) continue;
    total += 1.0f - NoteWeight(j, columns);
    ++unmatched;
  }
  return total / static_cast<float>(unmatched + matched + crossings);
}

}  // namespace melvox

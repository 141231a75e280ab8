// How alike two sounds are, described as lists of notes (CNoteSegment) in time order.
#pragma once

#include <cstddef>
#include <vector>

#include "spectral/note_segment.h"

namespace melvox {

// The importance, 0 to 1, of note list[k]: its peak energy sum / 66.6, times 0.8 for a note of 10
// steps (100 ms) or more and (steps / 10 + 0.1) x 0.8 for a shorter one, which counts 0.3 times that
// again when it is the last note of the list; at most 1. `list` is read as it is given (the
// comparison passes the notes that have peaks).
float NoteWeight(size_t k, const std::vector<CNoteSegment>& list);

// The similarity, 0 to 1, of two note lists; only the notes with peaks take part. Each note of
// `first` (a row) takes the note of `second` (a column) within 3 places whose peak set is most alike
// (ComparePeakSets), less 0.025 per squared column of distance from where the row would fall if both
// lists were spread evenly over each other; a best value under 0.4 leaves the row unmatched. The
// result averages the match values, 1 - NoteWeight for every unmatched note of either list, and one
// term 1 - (mean weight of the four notes) for every match that runs back before the previous one.
// 0 when no row matched (also when either list has no note with peaks).
float CompareNoteLists(const std::vector<CNoteSegment>& first, const std::vector<CNoteSegment>& second);

}  // namespace melvox

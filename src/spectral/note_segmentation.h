// The note segmentation: the note list of an analysed sound, made from its peak tracks.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/frame_result.h"
#include "spectral/note_segment.h"
#include "spectral/spectral_peak.h"

namespace melvox {

// What the segmentation groups: the track points of every second 10 ms step of the tracks' span,
// with their energies scaled so that the mean over all track points is 33 (all 0 when that mean is
// 0), the points at bins 46 and up left out and those at bins 30 to 45 tapered by
// 1 - (bin - 29) / 17; and how alike each point set is to the one before.
struct NoteSteps {
  int32_t first_frame = 0;                        // step k holds the points of frame first_frame + 2k
  std::vector<std::vector<SpectralPeak>> points;  // per step, sorted by bin
  std::vector<float> similarity;  // per step: ComparePeakSets(points of the step before, its points); 0 for the first
};

// The steps of a sound's results, from peak tracks made afresh (TrackPeaks). No steps when the
// results give no tracks.
NoteSteps PrepareNoteSteps(const std::vector<FrameResult>& results);

// The number of notes that GroupNotes makes of a sound.
constexpr int32_t kNotesPerSound = 9;

// Cuts the steps that hold points into note_count notes of (nearly) equal numbers of steps (one per
// step when there are fewer), so that the note lists of two sayings of a phrase line up index by
// index whatever their tempo, and whatever weak steps a quieter or noisier recording loses. Each note
// spans its first to its last step (20 ms each; times in ms from the selection start) and carries the
// points of its most representative step: the largest energy sum x steadiness, steadiness being the
// smaller similarity to the step before and after (the loud, steady middle of a vowel rather than a
// transition or a weak consonant), with every energy moved halfway towards the mean level 33 (another
// voice's spectral tilt and a recording's level then count half as much in the note comparison).
std::vector<CNoteSegment> GroupNotes(const NoteSteps& steps, int32_t note_count = kNotesPerSound);

// The note list of a sound's results: PrepareNoteSteps, then GroupNotes.
std::vector<CNoteSegment> SegmentNotes(const std::vector<FrameResult>& results);

}  // namespace melvox

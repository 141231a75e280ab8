// The comparison score: how similar two analysed sounds are, from their note lists, their voiced and
// noisy stretches and their durations; and the percentage that the recorder offers.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/pitch_segment.h"
#include "analysis/value_segment.h"
#include "sound/sound_node.h"
#include "spectral/spectral_analysis.h"

namespace melvox {

// Sounds longer than this score 0.
constexpr int32_t kMaxComparedMs = 10000;

// The terms of one comparison, all similarities in 0 .. 1.
struct ComparisonTerms {
  int32_t duration_a_ms = 0;  // (selection end - selection start + 1) x 1000 / rate, integer division
  int32_t duration_b_ms = 0;
  bool compared = false;  // false when a sound is longer than 10 s: the terms below stay 0
  float duration_score = 0.0f;
  float s_a = 0.0f;    // voiced segments (ComparePitchSegments)
  float s_b = 0.0f;    // noisy segments (CompareNoiseSegments)
  float s_c = 0.0f;    // note lists (CompareNoteLists)
  size_t notes_a = 0;  // notes of each sound that carry peaks (the ones compared)
  size_t notes_b = 0;
  float score = 0.0f;  // (4 sC + 3 sB + 2 sA + 0.8 duration score) / 9.8; 0 when not compared
};

// 1 when the shorter duration is more than 0.8 of the longer; down to 0.75 at 0.5, down to 0 at 0.2;
// 0 from there (and when both are 0). Durations in ms.
float DurationScore(int32_t duration_a_ms, int32_t duration_b_ms);

// The voiced stretches of two sounds, paired by index (p of duration dp ms, q of dq ms): 0 when their
// counts differ, 1 when both are empty; otherwise from 0.1, each pair adds up to 0.9 / n: 0.1 when
// their starts, as fractions of the durations, lie within 0.12, and, within 0.25, 0.3 when their
// relative lengths are within a factor 0.6 and 0.5 when within 0.3 and of the same contour shape.
float ComparePitchSegments(const std::vector<CPitchSegment>& p, int32_t dp_ms, const std::vector<CPitchSegment>& q,
                           int32_t dq_ms);

// The noisy stretches of two sounds, paired by index, in points out of 240, with w = 200 / n (integer
// division, n pairs) and every addition truncated: equal counts start from 100 (1 when both are
// empty), and each pair adds 0.4 w when the relative starts lie within 0.08, and, within 0.25, 0.1 w
// and another 0.2 w when the relative lengths are within a factor 0.5 (exclusive). Counts that differ
// by one start from 20 and compare the pairs of the shorter count (factor 0.5 inclusive); counts
// further apart give 0.
float CompareNoiseSegments(const std::vector<CValueSegment>& p, int32_t dp_ms, const std::vector<CValueSegment>& q,
                           int32_t dq_ms);

// (4 sC + 3 sB + 2 sA + 0.8 duration score) / 9.8 of the terms, in single precision.
float WeightedScore(const ComparisonTerms& terms);

// The similarity of two analysed sounds, 0 to 1, with its terms: the segments and notes of b come first
// in the three comparisons (sC compares b's note list, as rows, with a's). The voiced and noisy
// segments and the note lists of both are made when they are missing; over 10 s they are not needed
// and the score is 0.
ComparisonTerms CompareAnalysesInDetail(const CSpectralAnalysis& a, const CSpectralAnalysis& b);
// The score of CompareAnalysesInDetail alone.
float CompareAnalyses(const CSpectralAnalysis& a, const CSpectralAnalysis& b);

// trunc(score x 100) in single precision: 0.999 gives 99.
int32_t ScorePercent(float score);

// The percentage that the recorder offers: rewinds both sources, decodes each whole (GetWave), analyses
// each with the default pitch range and returns ScorePercent(CompareAnalyses(first, second)); 0 when
// either source gives no wave. The sources' waves carry their default selection (the whole sound).
// Throws what decoding and the analysis throw (CMVException 8 for a format the analysis refuses).
// Runs on the caller's thread; comparisons, like all analyses, may run on several threads at once.
int32_t CompareSources(CSoundSource& first, CSoundSource& second);

}  // namespace melvox

// Comparing two sound files for `melvox compare` and the demo, and printing what the comparisons give.
#pragma once

#include <cstdio>
#include <string>

#include "melvox/analysis.h"

namespace melvox::cli {

// ScoreRecording of the two files (over their useful parts unless whole is set). When the library
// fails, a line naming the file it failed on goes to standard error first ("melvox: cannot compare
// the recording 'b.wav':"); the library's CMsgException follows as it is.
ScoreTerms CompareFiles(const std::string& reference, const std::string& recording, bool whole);
// AlignRecording of the two files, with the same line on failure.
AlignmentReport AlignFiles(const std::string& reference, const std::string& recording);

// Lines "compared: yes|no", "reference_ms: N", "recording_ms: N", "duration_score: F", "sA: F",
// "sB: F", "sC: F", "reference_notes: N", "recording_notes: N" (F with 4 decimals), each after indent.
void PrintTerms(const ScoreTerms& terms, std::FILE* out, const char* indent = "");

// Lines "aligned_score: F" (1 decimal), "aligned_distance: F" (4 decimals), then "weakest: START-END ms
// (recording START-END ms) score F" for the `count` lowest-scoring stretches of the reference, lowest
// first; "aligned: no" alone when the sounds could not be aligned.
void PrintAlignment(const AlignmentReport& report, size_t count, std::FILE* out);

}  // namespace melvox::cli

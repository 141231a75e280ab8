// Comparing two sound files for `melvox compare` and the demo, and printing the terms of the score.
#pragma once

#include <cstdio>
#include <string>

#include "spectral/comparison_score.h"

namespace melvox::cli {

// Decodes both files, finds the useful part of each (unless whole is set), analyses both and compares
// them, the reference as the first sound. CMVException when a file cannot be read or analysed, after
// a line on standard error that names the file ("melvox: cannot compare the recording 'b.wav':").
ComparisonTerms CompareFiles(const std::string& reference, const std::string& recording, bool whole);

// Lines "compared: yes|no", "reference_ms: N", "recording_ms: N", "duration_score: F", "sA: F",
// "sB: F", "sC: F", "reference_notes: N", "recording_notes: N" (F with 4 decimals), each after indent.
void PrintTerms(const ComparisonTerms& terms, std::FILE* out, const char* indent = "");

}  // namespace melvox::cli

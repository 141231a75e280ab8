// A host of the analysis functions: compares a recording with a reference and says which part of the
// reference the recording followed least well, the way a trainer would point at it.
//
//   analysis_host REFERENCE.wav RECORDING.wav
//
// Prints the recorder's score, the aligned score and the weakest stretch of the reference with the
// part of the recording aligned with it; exits with 1 and the library's message when a file cannot be
// read or analysed.
#include <cstdio>

#include "melvox/analysis.h"
#include "melvox/errors.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: analysis_host REFERENCE RECORDING\n");
    return 2;
  }
  try {
    const melvox::ScoreTerms seed = melvox::ScoreRecording(argv[1], argv[2], true);
    const melvox::AlignmentReport aligned = melvox::AlignRecording(argv[1], argv[2]);
    std::printf("recorder's score: %d\n", seed.percent);
    if (!aligned.compared) {
      std::printf("the two sounds could not be aligned (one is far longer than the other)\n");
      return 0;
    }
    std::printf("aligned score: %.0f\n", aligned.score);
    const melvox::StretchScore* weakest = nullptr;
    for (const melvox::StretchScore& stretch : aligned.stretches) {
      if (weakest == nullptr || stretch.score < weakest->score) weakest = &stretch;
    }
    if (weakest != nullptr) {
      std::printf("weakest stretch: reference %d-%d ms, recording %d-%d ms, score %.0f\n", weakest->reference_start_ms,
                  weakest->reference_end_ms, weakest->recording_start_ms, weakest->recording_end_ms, weakest->score);
    }
  } catch (const melvox::CMsgException& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}

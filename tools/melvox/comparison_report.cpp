#include "comparison_report.h"

#include <algorithm>
#include <vector>

namespace melvox::cli {
namespace {

// Runs a comparison; when it fails, finds the file the library fails on alone and names it first.
template <typename Compare>
auto NamingTheFile(const std::string& reference, const std::string& recording, Compare compare) {
  try {
    return compare();
  } catch (...) {
    const struct {
      const char* role;
      const std::string& path;
    } files[] = {{"reference", reference}, {"recording", recording}};
    for (const auto& file : files) {
      try {
        AnalyzeSteps(file.path, false);
      } catch (...) {
        std::fprintf(stderr, "melvox: cannot compare the %s '%s':\n", file.role, file.path.c_str());
        break;
      }
    }
    throw;
  }
}

}  // namespace

ScoreTerms CompareFiles(const std::string& reference, const std::string& recording, bool whole) {
  return NamingTheFile(reference, recording, [&] { return ScoreRecording(reference, recording, !whole); });
}

AlignmentReport AlignFiles(const std::string& reference, const std::string& recording) {
  return NamingTheFile(reference, recording, [&] { return AlignRecording(reference, recording); });
}

void PrintTerms(const ScoreTerms& terms, std::FILE* out, const char* indent) {
  std::fprintf(out, "%scompared: %s\n", indent, terms.compared ? "yes" : "no");
  std::fprintf(out, "%sreference_ms: %d\n", indent, terms.reference_ms);
  std::fprintf(out, "%srecording_ms: %d\n", indent, terms.recording_ms);
  std::fprintf(out, "%sduration_score: %.4f\n", indent, terms.duration_score);
  std::fprintf(out, "%ssA: %.4f\n", indent, terms.voiced_score);
  std::fprintf(out, "%ssB: %.4f\n", indent, terms.noisy_score);
  std::fprintf(out, "%ssC: %.4f\n", indent, terms.notes_score);
  std::fprintf(out, "%sreference_notes: %d\n", indent, terms.reference_notes);
  std::fprintf(out, "%srecording_notes: %d\n", indent, terms.recording_notes);
}

void PrintAlignment(const AlignmentReport& report, size_t count, std::FILE* out) {
  if (!report.compared) {
    std::fprintf(out, "aligned: no\n");
    return;
  }
  std::fprintf(out, "aligned_score: %.1f\n", report.score);
  std::fprintf(out, "aligned_distance: %.4f\n", report.distance);
  std::vector<StretchScore> weakest = report.stretches;
  std::stable_sort(weakest.begin(), weakest.end(),
                   [](const StretchScore& a, const StretchScore& b) { return a.score < b.score; });
  weakest.resize(std::min(count, weakest.size()));
  for (const StretchScore& s : weakest) {
    std::fprintf(out, "weakest: %d-%d ms (recording %d-%d ms) score %.1f\n", s.reference_start_ms, s.reference_end_ms,
                 s.recording_start_ms, s.recording_end_ms, s.score);
  }
}

}  // namespace melvox::cli

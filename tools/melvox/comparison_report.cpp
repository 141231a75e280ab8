#include "comparison_report.h"

#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "pitch_summary.h"

namespace melvox::cli {

ComparisonTerms CompareFiles(const std::string& reference, const std::string& recording, bool whole) {
  std::unique_ptr<CWave> a = LoadWave(reference);
  std::unique_ptr<CWave> b = LoadWave(recording);
  if (!whole) {
    DetectEndpoints(*a);
    DetectEndpoints(*b);
  }
  const CSoundAnalysis first(a.get(), 0);
  const CSoundAnalysis second(b.get(), 0);
  return CompareAnalysesInDetail(first, second);
}

void PrintTerms(const ComparisonTerms& terms, std::FILE* out, const char* indent) {
  std::fprintf(out, "%scompared: %s\n", indent, terms.compared ? "yes" : "no");
  std::fprintf(out, "%sreference_ms: %d\n", indent, terms.duration_a_ms);
  std::fprintf(out, "%srecording_ms: %d\n", indent, terms.duration_b_ms);
  std::fprintf(out, "%sduration_score: %.4f\n", indent, terms.duration_score);
  std::fprintf(out, "%ssA: %.4f\n", indent, terms.s_a);
  std::fprintf(out, "%ssB: %.4f\n", indent, terms.s_b);
  std::fprintf(out, "%ssC: %.4f\n", indent, terms.s_c);
  std::fprintf(out, "%sreference_notes: %zu\n", indent, terms.notes_a);
  std::fprintf(out, "%srecording_notes: %zu\n", indent, terms.notes_b);
}

}  // namespace melvox::cli

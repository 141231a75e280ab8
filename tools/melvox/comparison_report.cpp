#include "comparison_report.h"

#include <memory>

#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "pitch_summary.h"
#include "spectral/spectral_analysis.h"

namespace melvox::cli {
namespace {

// The analysis of one of the two files (of its useful part unless whole is set). When the library
// fails on it, a line naming the file goes to standard error first; its message follows as it is.
std::unique_ptr<CSoundAnalysis> Analyse(const char* role, const std::string& path, bool whole) {
  try {
    std::unique_ptr<CWave> wave = LoadWave(path);
    if (!whole) DetectEndpoints(*wave);
    return std::make_unique<CSoundAnalysis>(wave.get(), 0);
  } catch (...) {
    std::fprintf(stderr, "melvox: cannot compare the %s '%s':\n", role, path.c_str());
    throw;
  }
}

}  // namespace

ComparisonTerms CompareFiles(const std::string& reference, const std::string& recording, bool whole) {
  const std::unique_ptr<CSoundAnalysis> first = Analyse("reference", reference, whole);
  const std::unique_ptr<CSoundAnalysis> second = Analyse("recording", recording, whole);
  return CompareAnalysesInDetail(CSpectralAnalysis(*first), CSpectralAnalysis(*second));
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

// ScoreRecording and AlignRecording of include/melvox/analysis.h.
#include <memory>

#include "alignment/aligned_comparison.h"
#include "alignment/aligned_sound.h"
#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "analysis_api/sound_input.h"
#include "core/public_call.h"
#include "melvox/analysis.h"
#include "spectral/comparison_score.h"
#include "spectral/spectral_analysis.h"

namespace melvox {

ScoreTerms ScoreRecording(const SoundInput& reference, const SoundInput& recording, bool detect_parts) {
  return GuardPublicCall([&] {
    std::unique_ptr<CWave> waves[2] = {LoadSoundInput(reference), LoadSoundInput(recording)};
    if (detect_parts) {
      for (auto& wave : waves) DetectEndpoints(*wave);
    }
    const CSoundAnalysis a(waves[0].get(), 0);
    const CSoundAnalysis b(waves[1].get(), 0);
    const ComparisonTerms terms = CompareAnalysesInDetail(CSpectralAnalysis(a), CSpectralAnalysis(b));
    ScoreTerms out;
    out.compared = terms.compared;
    out.reference_ms = terms.duration_a_ms;
    out.recording_ms = terms.duration_b_ms;
    out.duration_score = terms.duration_score;
    out.voiced_score = terms.s_a;
    out.noisy_score = terms.s_b;
    out.notes_score = terms.s_c;
    out.reference_notes = static_cast<int32_t>(terms.notes_a);
    out.recording_notes = static_cast<int32_t>(terms.notes_b);
    out.score = terms.score;
    out.percent = ScorePercent(terms.score);
    return out;
  });
}

AlignmentReport AlignRecording(const SoundInput& reference, const SoundInput& recording) {
  return GuardPublicCall([&] {
    const CAlignedSound a(*LoadSoundInput(reference), true);
    const CAlignedSound b(*LoadSoundInput(recording), true);
    const AlignedComparison comparison = CompareAligned(a.Analysis(), b.Analysis());
    AlignmentReport report;
    report.compared = comparison.compared;
    report.score = comparison.score;
    report.distance = comparison.distance;
    report.path.reserve(comparison.path.size());
    for (const AlignedPoint& point : comparison.path) report.path.push_back({point.reference_ms, point.recording_ms});
    for (const AlignedStretch& s : comparison.stretches) {
      report.stretches.push_back(
          {s.reference_begin_ms, s.reference_end_ms, s.recording_begin_ms, s.recording_end_ms, s.score});
    }
    return report;
  });
}

}  // namespace melvox

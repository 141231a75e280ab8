#include "spectral/comparison_score.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "spectral/note_list_comparison.h"
#include "spectral/note_segment.h"

namespace melvox {
namespace {

// min / max of two non-negative values; 0 when both are 0.
float Ratio(float x, float y) {
  const float larger = std::max(x, y);
  return larger > 0.0f ? std::min(x, y) / larger : 0.0f;
}

float Fraction(int32_t ms, int32_t duration_ms) {
  return duration_ms > 0 ? static_cast<float>(ms) / static_cast<float>(duration_ms) : 0.0f;
}

// How far apart pair j starts, as fractions of the durations, and how alike its relative lengths are.
struct PairMeasure {
  float start_distance;
  float length_ratio;
};

PairMeasure Measure(const CTimeSegment& p, int32_t dp_ms, const CTimeSegment& q, int32_t dq_ms) {
  return {std::fabs(Fraction(q.GetStart(), dq_ms) - Fraction(p.GetStart(), dp_ms)),
          Ratio(Fraction(p.GetDuration(), dp_ms), Fraction(q.GetDuration(), dq_ms))};
}

int32_t DurationMs(const CSoundAnalysis& analysis) {
  const int64_t samples = int64_t{analysis.SelectionEnd()} - analysis.SelectionStart() + 1;
  const int64_t rate = analysis.Format().nSamplesPerSec;
  if (samples <= 0 || rate == 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(samples * 1000 / rate, INT32_MAX));
}

size_t NotesWithPeaks(const std::vector<CNoteSegment>& notes) {
  return static_cast<size_t>(
      std::count_if(notes.begin(), notes.end(), [](const CNoteSegment& n) { return !n.Peaks().empty(); }));
}

}  // namespace

float DurationScore(int32_t duration_a_ms, int32_t duration_b_ms) {
  const float r = Ratio(static_cast<float>(duration_a_ms), static_cast<float>(duration_b_ms));
  if (r > 0.8f) return 1.0f;
  if (r > 0.5f) return 0.75f + (r - 0.5f) * 0.25f / 0.3f;
  if (r > 0.2f) return (r - 0.2f) * 0.75f / 0.3f;
  return 0.0f;
}

float ComparePitchSegments(const std::vector<CPitchSegment>& p, int32_t dp_ms, const std::vector<CPitchSegment>& q,
                           int32_t dq_ms) {
  constexpr float kTotal = 220.0f;
  if (p.size() != q.size()) return 0.0f;
  if (p.empty()) return 1.0f;
  float sum = 0.1f * kTotal;
  const float u = kTotal / static_cast<float>(p.size());
  for (size_t j = 0; j < p.size(); ++j) {
    const PairMeasure m = Measure(p[j], dp_ms, q[j], dq_ms);
    if (m.start_distance < 0.12f) sum += 0.1f * u;
    if (m.start_distance < 0.25f) {
      if (m.length_ratio >= 0.6f) sum += 0.3f * u;
      if (m.length_ratio > 0.3f && p[j].Shape() == q[j].Shape()) sum += 0.5f * u;
    }
  }
  return sum / kTotal;
}

float CompareNoiseSegments(const std::vector<CValueSegment>& p, int32_t dp_ms, const std::vector<CValueSegment>& q,
                           int32_t dq_ms) {
  constexpr float kScale = 200.0f;
  constexpr float kTotal = 240.0f;
  const size_t shorter = std::min(p.size(), q.size());
  const size_t longer = std::max(p.size(), q.size());
  if (longer - shorter > 1) return 0.0f;
  const bool equal = shorter == longer;
  if (equal && shorter == 0) return 1.0f;
  int32_t sum = static_cast<int32_t>((equal ? 0.5f : 0.1f) * kScale);
  if (shorter > 0) {
    const auto w = static_cast<float>(static_cast<int32_t>(kScale) / static_cast<int32_t>(shorter));
    for (size_t j = 0; j < shorter; ++j) {
      const PairMeasure m = Measure(p[j], dp_ms, q[j], dq_ms);
      if (m.start_distance < 0.08f) sum += static_cast<int32_t>(0.4f * w);
      if (m.start_distance < 0.25f) {
        sum += static_cast<int32_t>(0.1f * w);
        if (equal ? m.length_ratio > 0.5f : m.length_ratio >= 0.5f) sum += static_cast<int32_t>(0.2f * w);
      }
    }
  }
  return static_cast<float>(sum) / kTotal;
}

float WeightedScore(const ComparisonTerms& terms) {
  return (4.0f * terms.s_c + 3.0f * terms.s_b + 2.0f * terms.s_a + 0.8f * terms.duration_score) / 9.8f;
}

ComparisonTerms CompareAnalysesInDetail(const CSpectralAnalysis& a, const CSpectralAnalysis& b) {
  ComparisonTerms terms;
  terms.duration_a_ms = DurationMs(a.Analysis());
  terms.duration_b_ms = DurationMs(b.Analysis());
  if (terms.duration_a_ms > kMaxComparedMs || terms.duration_b_ms > kMaxComparedMs) return terms;
  terms.compared = true;
  const int32_t da = terms.duration_a_ms;
  const int32_t db = terms.duration_b_ms;
  terms.duration_score = DurationScore(da, db);
  // The second sound's segments and notes come first in every comparison.
  terms.s_a = ComparePitchSegments(b.Analysis().VoicedSegments(), db, a.Analysis().VoicedSegments(), da);
  terms.s_b = CompareNoiseSegments(b.Analysis().NoisySegments(), db, a.Analysis().NoisySegments(), da);
  terms.s_c = CompareNoteLists(b.Notes(), a.Notes());
  terms.notes_a = NotesWithPeaks(a.Notes());
  terms.notes_b = NotesWithPeaks(b.Notes());
  terms.score = WeightedScore(terms);
  return terms;
}

float CompareAnalyses(const CSpectralAnalysis& a, const CSpectralAnalysis& b) {
  return CompareAnalysesInDetail(a, b).score;
}

int32_t ScorePercent(float score) { return static_cast<int32_t>(score * 100.0f); }

int32_t CompareSources(CSoundSource& first, CSoundSource& second) {
  first.Rewind();
  second.Rewind();
  const std::unique_ptr<CWave> wave_a = first.GetWave();
  const std::unique_ptr<CWave> wave_b = second.GetWave();
  if (wave_a == nullptr || wave_b == nullptr) return 0;
  const CSoundAnalysis a(wave_a.get(), 0);
  const CSoundAnalysis b(wave_b.get(), 0);
  return ScorePercent(CompareAnalyses(CSpectralAnalysis(a), CSpectralAnalysis(b)));
}

}  // namespace melvox

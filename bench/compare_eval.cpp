// Evaluation of the comparison score: how well it tells a phrase said again (another voice or
// synthesizer, another level, noise, room, tempo, pitch, telephone band) from a different phrase of
// similar length, as the area under the ROC curve (AUC: the chance that a same-phrase pair scores
// above a different-phrase pair, ties counting half). Run through bench/compare_auc.sh, which makes
// the set and describes its manifest.
//
//   compare_eval [--whole] [--references-in FOLDER] [--recordings-in FOLDER] MANIFEST
//
// --references-in and --recordings-in read every reference or recording from FOLDER (relative to the
// manifest's folder) under its own file name instead: copies of the set at another sample rate.
// Every sound goes through endpoint detection (not with --whole) and an analysis, as in `melvox
// compare`. Printed: the AUC of every scorer of Scorers() (the whole score and each of its terms
// alone) overall and per condition, for the tuning voices and the held-out voices; then, for every
// note grouping of Groupings(), the AUC of the whole score and of the note term with that grouping.
// A condition's AUC compares its same-phrase pairs with its different-phrase pairs: a change (gain,
// noise, ...) of the reference's own voice, or another voice (clean, or with any change).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "alignment/aligned_comparison.h"
#include "alignment/aligned_sound.h"
#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "sound/open_sound_file.h"
#include "spectral/comparison_score.h"
#include "spectral/note_list_comparison.h"
#include "spectral/note_segmentation.h"
#include "spectral/peak_set_similarity.h"
#include "spectral/spectral_analysis.h"

namespace {

using namespace melvox;

// One sound of the set, decoded and analysed.
struct Sound {
  std::string path;
  std::unique_ptr<CWave> wave;  // with the detected endpoints selected (the whole sound with --whole)
  std::unique_ptr<CSoundAnalysis> analysis;
  std::unique_ptr<CSpectralAnalysis> spectral;   // over analysis, with the library's note list
  std::vector<std::vector<CNoteSegment>> notes;  // per grouping of Groupings()
  std::unique_ptr<CAlignedSound> aligned;        // the aligned comparison's own copy and analysis
};

// A scorer: how alike a recording is to its reference, higher for more alike (any scale, e.g. a
// percentage). Another comparison is one more entry of Scorers().
struct Scorer {
  std::string name;
  std::function<float(const Sound& reference, const Sound& recording)> score;
};

ComparisonTerms Terms(const Sound& reference, const Sound& recording) {
  return CompareAnalysesInDetail(*reference.spectral, *recording.spectral);
}

// What is evaluated: the comparison score as the recorder computes it, each of its terms alone, and
// the aligned comparison offered beside it.
std::vector<Scorer> Scorers() {
  return {
      {"whole", [](const Sound& a, const Sound& b) { return Terms(a, b).score; }},
      {"sC notes", [](const Sound& a, const Sound& b) { return Terms(a, b).s_c; }},
      {"sB noisy", [](const Sound& a, const Sound& b) { return Terms(a, b).s_b; }},
      {"sA voiced", [](const Sound& a, const Sound& b) { return Terms(a, b).s_a; }},
      {"duration", [](const Sound& a, const Sound& b) { return Terms(a, b).duration_score; }},
      {"aligned", [](const Sound& a,
                     const Sound& b) { return CompareAligned(a.aligned->Analysis(), b.aligned->Analysis()).score; }},
  };
}

using Grouping = std::function<std::vector<CNoteSegment>(const NoteSteps&)>;

struct Design {
  std::string name;
  Grouping group;
};

// ---------------------------------------------------------------------------------------------
// Alternative groupings, for comparison with GroupNotes. A note spans steps begin..end-1 and carries
// the points of one step (or an average of them).

int32_t StepMs(const NoteSteps& steps, int32_t k) { return 10 * (steps.first_frame + 2 * k); }

float Energy(const std::vector<SpectralPeak>& points) {
  float sum = 0.0f;
  for (const SpectralPeak& p : points) sum += p.energy;
  return sum;
}

enum class Carry { kMiddle, kLoudest, kAverage, kLoudSteady };

// The steps' points clustered by bin (a gap of more than 2 bins starts a new cluster); each cluster
// becomes one peak at its energy-weighted mean bin with its energy summed and divided by the steps.
std::vector<SpectralPeak> Average(const NoteSteps& steps, int32_t begin, int32_t end) {
  std::vector<SpectralPeak> all;
  for (int32_t k = begin; k < end; ++k) all.insert(all.end(), steps.points[k].begin(), steps.points[k].end());
  std::sort(all.begin(), all.end(), [](const SpectralPeak& a, const SpectralPeak& b) { return a.bin < b.bin; });
  std::vector<SpectralPeak> out;
  float energy = 0.0f, weighted_bin = 0.0f;
  int32_t last_bin = -100;
  auto flush = [&] {
    if (energy > 0.0f) {
      out.push_back({StepMs(steps, begin) / 10, static_cast<int32_t>(weighted_bin / energy + 0.5f),
                     energy / static_cast<float>(end - begin)});
    }
    energy = weighted_bin = 0.0f;
  };
  for (const SpectralPeak& p : all) {
    if (p.bin - last_bin > 2) flush();
    energy += p.energy;
    weighted_bin += p.energy * static_cast<float>(p.bin);
    last_bin = p.bin;
  }
  flush();
  return out;
}

CNoteSegment Note(const NoteSteps& steps, int32_t begin, int32_t end, Carry carry) {
  std::vector<SpectralPeak> peaks;
  if (carry == Carry::kMiddle) peaks = steps.points[(begin + end - 1) / 2];
  if (carry == Carry::kAverage) peaks = Average(steps, begin, end);
  if (carry == Carry::kLoudSteady) {
    // The largest energy sum x steadiness (the smaller similarity to the step before and after).
    const auto count = static_cast<int32_t>(steps.points.size());
    float best_value = -1.0f;
    for (int32_t k = begin; k < end; ++k) {
      float steadiness = 1.0f;
      if (k > 0) steadiness = std::min(steadiness, steps.similarity[k]);
      if (k + 1 < count) steadiness = std::min(steadiness, steps.similarity[k + 1]);
      const float value = Energy(steps.points[k]) * steadiness;
      if (value > best_value) best_value = value, peaks = steps.points[k];
    }
  }
  if (carry == Carry::kLoudest) {
    int32_t best = begin;
    for (int32_t k = begin; k < end; ++k) {
      if (Energy(steps.points[k]) > Energy(steps.points[best])) best = k;
    }
    peaks = steps.points[best];
  }
  return CNoteSegment(StepMs(steps, begin), StepMs(steps, end), peaks);
}

// Spectral change: a step less alike to the one before than `threshold` starts a new note; a step
// without points ends the open note.
std::vector<CNoteSegment> ChangeNotes(const NoteSteps& steps, float threshold, Carry carry) {
  std::vector<CNoteSegment> notes;
  const auto count = static_cast<int32_t>(steps.points.size());
  int32_t begin = -1;
  for (int32_t k = 0; k <= count; ++k) {
    const bool ends = k == count || steps.points[k].empty() || steps.similarity[k] < threshold;
    if (begin >= 0 && ends) {
      notes.push_back(Note(steps, begin, k, carry));
      begin = -1;
    }
    if (begin < 0 && k < count && !steps.points[k].empty()) begin = k;
  }
  return notes;
}

// Notes of a fixed number of steps.
std::vector<CNoteSegment> FixedLength(const NoteSteps& steps, int32_t length, Carry carry) {
  std::vector<CNoteSegment> notes;
  const auto count = static_cast<int32_t>(steps.points.size());
  for (int32_t begin = 0; begin < count; begin += length)
    notes.push_back(Note(steps, begin, std::min(count, begin + length), carry));
  return notes;
}

// Equal parts like GroupNotes, carrying another step.
std::vector<CNoteSegment> EqualParts(const NoteSteps& steps, int32_t parts, Carry carry) {
  std::vector<CNoteSegment> notes;
  const auto count = static_cast<int32_t>(steps.points.size());
  int32_t begin = 0;
  for (int32_t i = 1; i <= parts; ++i) {
    const int32_t end = i * count / parts;
    if (end == begin) continue;
    notes.push_back(Note(steps, begin, end, carry));
    begin = end;
  }
  return notes;
}

// Equal parts of the steps that hold points with an energy sum of at least `floor` x the loudest
// step's (the others are left out, as a quieter recording loses its weak steps); a note spans its
// first to its last step.
std::vector<CNoteSegment> FilledParts(const NoteSteps& steps, int32_t parts, Carry carry, float floor) {
  float loudest = 0.0f;
  for (const auto& points : steps.points) loudest = std::max(loudest, Energy(points));
  NoteSteps kept = steps;
  std::vector<int32_t> index;  // kept step -> step
  kept.points.clear();
  kept.similarity.clear();
  for (int32_t k = 0; k < static_cast<int32_t>(steps.points.size()); ++k) {
    if (steps.points[k].empty() || Energy(steps.points[k]) < floor * loudest) continue;
    kept.points.push_back(steps.points[k]);
    kept.similarity.push_back(
        kept.points.size() == 1 ? 0.0f : ComparePeakSets(kept.points[kept.points.size() - 2], kept.points.back()));
    index.push_back(k);
  }
  std::vector<CNoteSegment> notes;
  const auto count = static_cast<int32_t>(kept.points.size());
  int32_t begin = 0;
  for (int32_t i = 1; i <= parts; ++i) {
    const int32_t end = i * count / parts;
    if (end == begin) continue;
    const CNoteSegment note = Note(kept, begin, end, carry);
    notes.emplace_back(StepMs(steps, index[begin]), StepMs(steps, index[end - 1] + 1), note.Peaks());
    begin = end;
  }
  return notes;
}

// Bottom-up: every step with points starts as a note; the two neighbouring notes whose carried points
// are most alike merge (keeping the louder points) until no neighbours are alike above `threshold`.
// Notes more than 2 empty steps apart never merge.
std::vector<CNoteSegment> Merged(const NoteSteps& steps, float threshold) {
  struct Unit {
    int32_t begin, end, carried;
  };
  std::vector<Unit> units;
  for (int32_t k = 0; k < static_cast<int32_t>(steps.points.size()); ++k) {
    if (!steps.points[k].empty()) units.push_back({k, k + 1, k});
  }
  auto alike = [&](const Unit& a, const Unit& b) {
    return b.begin - a.end > 2 ? -1.0f : ComparePeakSets(steps.points[a.carried], steps.points[b.carried]);
  };
  std::vector<float> next;  // next[i]: how alike units i and i+1 are
  for (size_t i = 0; i + 1 < units.size(); ++i) next.push_back(alike(units[i], units[i + 1]));
  while (!next.empty()) {
    const auto i = static_cast<size_t>(std::max_element(next.begin(), next.end()) - next.begin());
    if (next[i] < threshold) break;
    Unit& a = units[i];
    const Unit& b = units[i + 1];
    a.end = b.end;
    if (Energy(steps.points[b.carried]) > Energy(steps.points[a.carried])) a.carried = b.carried;
    units.erase(units.begin() + static_cast<long>(i) + 1);
    next.erase(next.begin() + static_cast<long>(i));
    if (i > 0) next[i - 1] = alike(units[i - 1], units[i]);
    if (i < next.size()) next[i] = alike(units[i], units[i + 1]);
  }
  std::vector<CNoteSegment> notes;
  for (const Unit& u : units) notes.emplace_back(StepMs(steps, u.begin), StepMs(steps, u.end), steps.points[u.carried]);
  return notes;
}

// The library's parts of the sounding steps, each note carrying what `carry` makes of its steps
// (indices into steps), with energies halfway to 33 like GroupNotes.
std::vector<CNoteSegment> SoundingNotes(
    const NoteSteps& steps, const std::function<std::vector<SpectralPeak>(const std::vector<int32_t>&)>& carry) {
  std::vector<int32_t> sounding;
  for (int32_t k = 0; k < static_cast<int32_t>(steps.points.size()); ++k) {
    if (!steps.points[k].empty()) sounding.push_back(k);
  }
  std::vector<CNoteSegment> notes;
  const auto count = static_cast<int32_t>(sounding.size());
  int32_t begin = 0;
  for (int32_t i = 1; i <= kNotesPerSound; ++i) {
    const int32_t end = i * count / kNotesPerSound;
    if (end == begin) continue;
    std::vector<SpectralPeak> peaks = carry({sounding.begin() + begin, sounding.begin() + end});
    for (SpectralPeak& p : peaks) p.energy = (p.energy + 33.0f) / 2.0f;
    notes.emplace_back(StepMs(steps, sounding[begin]), StepMs(steps, sounding[end - 1] + 1), peaks);
    begin = end;
  }
  return notes;
}

// The part's step most alike to the others of its part (the highest mean similarity).
std::vector<SpectralPeak> Medoid(const NoteSteps& steps, const std::vector<int32_t>& part) {
  int32_t best = part[0];
  float best_value = -1.0f;
  for (const int32_t k : part) {
    float sum = 0.0f;
    for (const int32_t j : part) sum += j == k ? 0.0f : ComparePeakSets(steps.points[j], steps.points[k]);
    if (sum > best_value) best_value = sum, best = k;
  }
  return steps.points[best];
}

// The loud x steady step with steadiness the mean (not the smaller) of the neighbour similarities,
// or its points joined with those of its sounding neighbours (a peak within a bin of a kept one
// is left out unless louder, then it replaces it).
std::vector<SpectralPeak> LoudSteady(const NoteSteps& steps, const std::vector<int32_t>& part, bool mean, bool join) {
  const auto count = static_cast<int32_t>(steps.points.size());
  size_t best = 0;
  float best_value = -1.0f;
  for (size_t i = 0; i < part.size(); ++i) {
    const int32_t k = part[i];
    const float before = k > 0 ? steps.similarity[k] : 1.0f;
    const float after = k + 1 < count ? steps.similarity[k + 1] : 1.0f;
    const float value = Energy(steps.points[k]) * (mean ? (before + after) / 2.0f : std::min(before, after));
    if (value > best_value) best_value = value, best = i;
  }
  std::vector<SpectralPeak> peaks = steps.points[part[best]];
  if (!join) return peaks;
  for (const size_t i : {best - 1, best + 1}) {
    if (i >= part.size()) continue;
    for (const SpectralPeak& p : steps.points[part[i]]) {
      auto near =
          std::find_if(peaks.begin(), peaks.end(), [&](const SpectralPeak& q) { return std::abs(q.bin - p.bin) <= 1; });
      if (near == peaks.end()) {
        peaks.push_back(p);
      } else if (p.energy > near->energy) {
        *near = p;
      }
    }
  }
  std::sort(peaks.begin(), peaks.end(), [](const SpectralPeak& a, const SpectralPeak& b) { return a.bin < b.bin; });
  return peaks;
}

// Levels: the steps' energies moved to a common level before grouping, and the neighbour
// similarities recomputed on the new energies.
enum class Level { kStandard, kLoudestPoint, kLoudestStep };

NoteSteps Relevelled(NoteSteps steps, Level level, float target) {
  double sum = 0.0, squares = 0.0, loudest_point = 0.0, loudest_step = 0.0;
  size_t count = 0;
  for (const auto& points : steps.points) {
    double step = 0.0;
    for (const SpectralPeak& p : points) {
      sum += p.energy;
      squares += double{p.energy} * p.energy;
      loudest_point = std::max(loudest_point, double{p.energy});
      step += p.energy;
      ++count;
    }
    loudest_step = std::max(loudest_step, step);
  }
  if (count == 0) return steps;
  const double mean = sum / static_cast<double>(count);
  const double spread = std::sqrt(std::max(0.0, squares / static_cast<double>(count) - mean * mean));
  for (auto& points : steps.points) {
    for (SpectralPeak& p : points) {
      double e = p.energy;
      if (level == Level::kStandard) e = spread > 0.0 ? 33.0 + (e - mean) * target / spread : 33.0;
      if (level == Level::kLoudestPoint) e = e - loudest_point + target;
      if (level == Level::kLoudestStep) e = e * target / loudest_step;
      p.energy = static_cast<float>(std::max(0.0, e));
    }
  }
  for (size_t k = 1; k < steps.points.size(); ++k)
    steps.similarity[k] = ComparePeakSets(steps.points[k - 1], steps.points[k]);
  return steps;
}

// Bins warped so that the sound's energy-weighted mean bin lands at `target`, as another voice
// moves the same vowel's peaks by a factor; a step's points that land on one bin merge.
NoteSteps Warped(NoteSteps steps, float target) {
  double sum = 0.0, weighted = 0.0;
  for (const auto& points : steps.points) {
    for (const SpectralPeak& p : points) sum += p.energy, weighted += double{p.energy} * p.bin;
  }
  if (sum <= 0.0) return steps;
  const double factor = target / (weighted / sum);
  for (auto& points : steps.points) {
    std::vector<SpectralPeak> warped;
    for (SpectralPeak p : points) {
      p.bin = static_cast<int32_t>(std::lround(p.bin * factor));
      if (!warped.empty() && warped.back().bin == p.bin) {
        warped.back().energy += p.energy;
      } else {
        warped.push_back(p);
      }
    }
    points = warped;
  }
  for (size_t k = 1; k < steps.points.size(); ++k)
    steps.similarity[k] = ComparePeakSets(steps.points[k - 1], steps.points[k]);
  return steps;
}

// Each step keeps only its `count` strongest points.
NoteSteps Strongest(NoteSteps steps, size_t count) {
  for (auto& points : steps.points) {
    if (points.size() <= count) continue;
    std::vector<SpectralPeak> sorted = points;
    std::sort(sorted.begin(), sorted.end(),
              [](const SpectralPeak& a, const SpectralPeak& b) { return a.energy > b.energy; });
    sorted.resize(count);
    std::sort(sorted.begin(), sorted.end(), [](const SpectralPeak& a, const SpectralPeak& b) { return a.bin < b.bin; });
    points = sorted;
  }
  for (size_t k = 1; k < steps.points.size(); ++k)
    steps.similarity[k] = ComparePeakSets(steps.points[k - 1], steps.points[k]);
  return steps;
}

// Every energy moved towards `centre` by `keep` (1 keeps it, 0 sets it to `centre`); with
// `per_step`, each step's energies are first scaled so that its loudest point has energy `centre`.
NoteSteps Compressed(NoteSteps steps, float centre, float keep, bool per_step) {
  for (auto& points : steps.points) {
    float loudest = 0.0f;
    for (const SpectralPeak& p : points) loudest = std::max(loudest, p.energy);
    for (SpectralPeak& p : points) {
      const float e = per_step && loudest > 0.0f ? p.energy * centre / loudest : p.energy;
      p.energy = std::max(0.0f, centre + (e - centre) * keep);
    }
  }
  for (size_t k = 1; k < steps.points.size(); ++k)
    steps.similarity[k] = ComparePeakSets(steps.points[k - 1], steps.points[k]);
  return steps;
}

// The note groupings compared. "All steps" cuts every step of the tracks' span into equal parts (the
// grouping before this one); "sounding steps" only the steps that hold points (GroupNotes now). The
// level and bin variants change the steps' points before an all-steps grouping carrying the loud x
// steady step, and recompute the neighbour similarities on them.
std::vector<Design> Groupings() {
  const auto before = [](const NoteSteps& s) { return EqualParts(s, 9, Carry::kLoudSteady); };
  std::vector<Design> designs = {
      {"sounding steps, 9 parts, loud x steady, halfway to 33 (in use)",
       [](const NoteSteps& s) { return GroupNotes(s); }},
      {"no note term (sC = 0)", [](const NoteSteps&) { return std::vector<CNoteSegment>(); }},
      {"all steps, 9 parts, loud x steady (before)", before},
  };
  for (const float keep : {0.0f, 0.25f, 0.75f, 1.0f}) {
    // The notes in use with their energies at `keep` of the distance to 33 instead of a half.
    char title[80];
    std::snprintf(title, sizeof title, "the same as in use, energies at %.2f of the way from 33", keep);
    designs.push_back({title, [keep](const NoteSteps& s) {
                         std::vector<CNoteSegment> notes;
                         for (const CNoteSegment& note : GroupNotes(s)) {
                           std::vector<SpectralPeak> peaks = note.Peaks();
                           for (SpectralPeak& p : peaks) p.energy = 33.0f + (2.0f * p.energy - 66.0f) * keep;
                           notes.emplace_back(note.GetStart(), note.GetEnd(), peaks);
                         }
                         return notes;
                       }});
  }
  designs.push_back({"the same as in use, the part's most typical step", [](const NoteSteps& s) {
                       return SoundingNotes(s, [&s](const std::vector<int32_t>& part) { return Medoid(s, part); });
                     }});
  designs.push_back({"the same as in use, steadiness the mean of the similarities", [](const NoteSteps& s) {
                       return SoundingNotes(
                           s, [&s](const std::vector<int32_t>& part) { return LoudSteady(s, part, true, false); });
                     }});
  designs.push_back({"the same as in use, joined with its sounding neighbours", [](const NoteSteps& s) {
                       return SoundingNotes(
                           s, [&s](const std::vector<int32_t>& part) { return LoudSteady(s, part, false, true); });
                     }});
  for (const int32_t parts : {6, 12}) {
    designs.push_back({"the same as in use with " + std::to_string(parts) + " parts",
                       [parts](const NoteSteps& s) { return GroupNotes(s, parts); }});
  }
  const std::pair<Carry, const char*> carries[] = {
      {Carry::kMiddle, "middle"}, {Carry::kLoudest, "loudest"}, {Carry::kAverage, "average"}};
  for (const auto& [carry, name] : carries) {
    designs.push_back(
        {std::string("all steps, 9 parts, ") + name, [c = carry](const NoteSteps& s) { return EqualParts(s, 9, c); }});
  }
  for (const float floor : {0.0f, 0.3f, 0.5f}) {
    char title[80];
    std::snprintf(title, sizeof title, "steps above %.1f x the loudest, 9 parts, loud x steady", floor);
    designs.push_back({title, [floor](const NoteSteps& s) { return FilledParts(s, 9, Carry::kLoudSteady, floor); }});
  }
  designs.push_back({"sounding steps, 9 parts, levelled to spread 4", [](const NoteSteps& s) {
                       return FilledParts(Relevelled(s, Level::kStandard, 4.0f), 9, Carry::kLoudSteady, 0.0f);
                     }});
  for (const float threshold : {0.4f, 0.6f}) {
    char title[80];
    std::snprintf(title, sizeof title, "new note at a change below %.1f, loudest", threshold);
    designs.push_back({title, [threshold](const NoteSteps& s) { return ChangeNotes(s, threshold, Carry::kLoudest); }});
  }
  designs.push_back({"fixed 5 steps, loudest", [](const NoteSteps& s) { return FixedLength(s, 5, Carry::kLoudest); }});
  designs.push_back({"bottom-up merging above 0.8", [](const NoteSteps& s) { return Merged(s, 0.8f); }});
  const std::tuple<float, float, bool, const char*> compressions[] = {
      {33.0f, 0.5f, false, "energies halfway to 33"},
      {33.0f, 0.25f, false, "energies 3/4 of the way to 33"},
      {40.0f, 0.0f, false, "every energy 40"},
      {45.0f, 0.5f, true, "each step's loudest at 45, halfway"},
  };
  for (const auto& [centre, keep, per_step, name] : compressions) {
    designs.push_back({std::string("all steps, ") + name,
                       [centre = centre, keep = keep, per_step = per_step, before](const NoteSteps& s) {
                         return before(Compressed(s, centre, keep, per_step));
                       }});
  }
  const std::tuple<Level, float, const char*> levels[] = {
      {Level::kStandard, 4.0f, "spread 4"},
      {Level::kStandard, 8.0f, "spread 8"},
      {Level::kStandard, 16.0f, "spread 16"},
      {Level::kLoudestPoint, 60.0f, "loudest point 60"},
      {Level::kLoudestStep, 150.0f, "loudest step 150"},
  };
  for (const auto& [level, target, name] : levels) {
    designs.push_back(
        {std::string("all steps, levelled to ") + name, [level = level, target = target, before](const NoteSteps& s) {
           return before(Relevelled(s, level, target));
         }});
  }
  for (const float target : {13.0f, 20.0f}) {
    designs.push_back({"all steps, bins warped to a mean of " + std::to_string(static_cast<int>(target)),
                       [target, before](const NoteSteps& s) { return before(Warped(s, target)); }});
  }
  for (const size_t count : {2, 3}) {
    designs.push_back({"all steps, strongest " + std::to_string(count) + " points",
                       [count, before](const NoteSteps& s) { return before(Strongest(s, count)); }});
  }
  return designs;
}

// ---------------------------------------------------------------------------------------------
// The pairs and the report.

struct Pair {
  bool same;
  bool held;                      // the recording's voice was held out from tuning
  std::string condition;          // how the recording was changed; "clean, other synthesizer" and so on
  std::vector<float> scores;      // per scorer
  std::vector<float> whole, s_c;  // per grouping: the whole score and the note term
};

// The chance that a same-phrase pair scores above a different-phrase pair, ties counting half.
double Auc(std::vector<float> same, std::vector<float> different) {
  if (same.empty() || different.empty()) return std::nan("");
  std::sort(different.begin(), different.end());
  double wins = 0.0;
  for (const float s : same) {
    const auto below = std::lower_bound(different.begin(), different.end(), s) - different.begin();
    const auto not_above = std::upper_bound(different.begin(), different.end(), s) - different.begin();
    wins += static_cast<double>(below) + 0.5 * static_cast<double>(not_above - below);
  }
  return wins / (static_cast<double>(same.size()) * static_cast<double>(different.size()));
}

using Filter = std::function<bool(const Pair&)>;
using Value = std::function<float(const Pair&)>;

double Auc(const std::vector<Pair>& pairs, const Filter& in, const Value& value) {
  std::vector<float> same, different;
  for (const Pair& p : pairs) {
    if (in(p)) (p.same ? same : different).push_back(value(p));
  }
  return Auc(same, different);
}

std::string Synthesizer(const std::string& voice) { return voice.substr(0, voice.find(':')); }

class Evaluation {
 public:
  Evaluation(bool detect_endpoints, std::string references_in, std::string recordings_in)
      : scorers_(Scorers()),
        designs_(Groupings()),
        detect_endpoints_(detect_endpoints),
        references_in_(std::move(references_in)),
        recordings_in_(std::move(recordings_in)) {}

  size_t AddFile(const std::string& path) {
    const auto known = files_.find(path);
    if (known != files_.end()) return known->second;
    CountedPtr<CSoundSource> source = OpenSoundFile(path.c_str());
    Sound sound;
    sound.path = path;
    if (source) sound.wave = source->GetWave();
    if (sound.wave == nullptr) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      std::exit(1);
    }
    if (detect_endpoints_) DetectEndpoints(*sound.wave);
    sound.analysis = std::make_unique<CSoundAnalysis>(sound.wave.get(), 0);
    sound.spectral = std::make_unique<CSpectralAnalysis>(*sound.analysis);
    sound.aligned = std::make_unique<CAlignedSound>(*sound.wave, true);
    const NoteSteps steps = PrepareNoteSteps(sound.analysis->Results());
    for (const Design& design : designs_) sound.notes.push_back(design.group(steps));
    sounds_.push_back(std::move(sound));
    files_[path] = sounds_.size() - 1;
    return sounds_.size() - 1;
  }

  // One manifest line: LABEL SPLIT CONDITION REF_VOICE REC_VOICE REF_PATH REC_PATH, paths relative
  // to the manifest's folder.
  void AddLine(const std::string& line, const std::string& folder) {
    std::istringstream fields(line);
    std::string label, split, condition, ref_voice, rec_voice, ref_path, rec_path;
    if (line.empty() || line[0] == '#' ||
        !(fields >> label >> split >> condition >> ref_voice >> rec_voice >> ref_path >> rec_path)) {
      return;
    }
    const size_t ref_index = AddFile(folder + InFolder(ref_path, references_in_));
    const size_t rec_index = AddFile(folder + InFolder(rec_path, recordings_in_));
    const Sound& ref = sounds_[ref_index];
    const Sound& rec = sounds_[rec_index];
    Pair pair{label == "same", split == "held", condition, {}, {}, {}};
    // A change of the reference's own voice is its own condition; another voice is one condition per
    // kind, clean, and one for all its changed sayings.
    if (ref_voice != rec_voice) {
      if (condition != "clean") {
        pair.condition = "another voice and a change";
      } else {
        pair.condition = Synthesizer(ref_voice) == Synthesizer(rec_voice) ? "another voice, same synthesizer"
                                                                          : "another synthesizer";
      }
    } else if (condition == "clean") {
      return;  // no same-phrase pair: the reference itself is left out
    }
    for (const Scorer& scorer : scorers_) pair.scores.push_back(scorer.score(ref, rec));
    const ComparisonTerms terms = Terms(ref, rec);
    for (size_t d = 0; d < designs_.size(); ++d) {
      ComparisonTerms with = terms;
      with.s_c = terms.compared ? CompareNoteLists(rec.notes[d], ref.notes[d]) : 0.0f;
      pair.whole.push_back(terms.compared ? WeightedScore(with) : 0.0f);
      pair.s_c.push_back(with.s_c);
    }
    if (std::find(conditions_.begin(), conditions_.end(), pair.condition) == conditions_.end()) {
      conditions_.push_back(pair.condition);
    }
    pairs_.push_back(std::move(pair));
  }

  void Report() const {
    size_t counts[2][2] = {};
    for (const Pair& p : pairs_) ++counts[p.held][p.same];
    std::printf("%zu sounds, endpoints %s; pairs same/different: tune voices %zu/%zu, held-out voices %zu/%zu\n",
                sounds_.size(), detect_endpoints_ ? "detected" : "not detected (whole files)", counts[0][1],
                counts[0][0], counts[1][1], counts[1][0]);
    const std::pair<const char*, Filter> splits[] = {
        {"tune", [](const Pair& p) { return !p.held; }},
        {"held", [](const Pair& p) { return p.held; }},
        {"all", [](const Pair&) { return true; }},
    };
    std::printf("\nAUC of each scorer\n%-12s", "scorer");
    for (const auto& split : splits) std::printf(" %7s", split.first);
    std::printf("\n");
    for (size_t s = 0; s < scorers_.size(); ++s) {
      std::printf("%-12s", scorers_[s].name.c_str());
      for (const auto& [name, in] : splits)
        std::printf(" %7.4f", Auc(pairs_, in, [s](const Pair& p) { return p.scores[s]; }));
      std::printf("\n");
    }
    for (const bool held : {false, true}) {
      std::printf("\nAUC per condition, %s voices (same/different pairs)\n%-36s", held ? "held-out" : "tuning",
                  "condition");
      for (const Scorer& scorer : scorers_) std::printf(" %9s", scorer.name.c_str());
      std::printf("\n");
      for (const std::string& condition : conditions_) {
        const Filter in = [&](const Pair& p) { return p.held == held && p.condition == condition; };
        size_t same = 0, different = 0;
        for (const Pair& p : pairs_) {
          if (in(p)) ++(p.same ? same : different);
        }
        char title[80];
        std::snprintf(title, sizeof title, "%s (%zu/%zu)", condition.c_str(), same, different);
        std::printf("%-36s", title);
        for (size_t s = 0; s < scorers_.size(); ++s) {
          std::printf(" %9.4f", Auc(pairs_, in, [s](const Pair& p) { return p.scores[s]; }));
        }
        std::printf("\n");
      }
    }
    std::printf("\nNote groupings: AUC of the whole score and of sC alone, and the whole score's worst condition\n");
    std::printf("%-58s %7s %7s %7s %7s %11s  %s\n", "grouping", "tune", "held", "sC tune", "sC held", "sC same/dif",
                "worst held condition");
    for (size_t d = 0; d < designs_.size(); ++d) {
      const Value whole = [d](const Pair& p) { return p.whole[d]; };
      const Value s_c = [d](const Pair& p) { return p.s_c[d]; };
      std::string worst;
      double worst_auc = 2.0;
      for (const std::string& condition : conditions_) {
        const double auc = Auc(
            pairs_, [&](const Pair& p) { return p.held && p.condition == condition; }, whole);
        if (auc < worst_auc) worst_auc = auc, worst = condition;
      }
      double sums[2] = {}, tally[2] = {};
      for (const Pair& p : pairs_) sums[p.same] += p.s_c[d], ++tally[p.same];
      std::printf("%-58s %7.4f %7.4f %7.4f %7.4f  %4.2f/%4.2f  %.4f %s\n", designs_[d].name.c_str(),
                  Auc(pairs_, splits[0].second, whole), Auc(pairs_, splits[1].second, whole),
                  Auc(pairs_, splits[0].second, s_c), Auc(pairs_, splits[1].second, s_c), sums[1] / tally[1],
                  sums[0] / tally[0], worst_auc, worst.c_str());
    }
  }

 private:
  // The path with its folder replaced by `in` (unchanged when `in` is empty).
  static std::string InFolder(const std::string& path, const std::string& in) {
    return in.empty() ? path : in + "/" + path.substr(path.find_last_of('/') + 1);
  }

  std::vector<Scorer> scorers_;
  std::vector<Design> designs_;
  bool detect_endpoints_;
  std::string references_in_;
  std::string recordings_in_;
  std::vector<Sound> sounds_;
  std::map<std::string, size_t> files_;
  std::vector<Pair> pairs_;
  std::vector<std::string> conditions_;  // in the order first met
};

}  // namespace

int main(int argc, char** argv) {
  bool detect_endpoints = true;
  std::string manifest, references_in, recordings_in;
  bool usage = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--whole") {
      detect_endpoints = false;
    } else if ((arg == "--references-in" || arg == "--recordings-in") && i + 1 < argc) {
      (arg == "--references-in" ? references_in : recordings_in) = argv[++i];
    } else if (arg.rfind("--", 0) == 0 || !manifest.empty()) {
      usage = true;
    } else {
      manifest = arg;
    }
  }
  std::ifstream in(manifest);
  if (usage || manifest.empty() || !in) {
    std::fprintf(stderr,
                 "usage: compare_eval [--whole] [--references-in FOLDER] [--recordings-in FOLDER] MANIFEST (made by "
                 "bench/compare_auc.sh)\n");
    return 2;
  }
  const size_t slash = manifest.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : manifest.substr(0, slash + 1);
  Evaluation evaluation(detect_endpoints, references_in, recordings_in);
  std::string line;
  while (std::getline(in, line)) evaluation.AddLine(line, folder);
  evaluation.Report();
  return 0;
}

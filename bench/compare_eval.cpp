// Evaluation of the comparison score: how well it tells a phrase said again (another voice, speed or
// pitch, added noise, another gain) from a different phrase of similar length, as the area under the
// ROC curve (AUC: the chance that a same-phrase pair scores above a different-phrase pair, ties
// counting half). Run through bench/compare_auc.sh, which makes the speech with espeak-ng.
//
//   compare_eval [--whole] [--pad MS] [MANIFEST]
//
// MANIFEST lines: "same|different tune|held REF.wav REC.wav [noise SNR_DB] [gain FACTOR]"; the
// transforms apply to REC. --pad MS puts a faint noise floor of MS / 5 to MS ms (varying) before and
// after every recording (REC, and the generated sounds said again), as the recorder's recordings hold
// room noise around the speech. The generated set is always evaluated too: phrases made by
// samples::SpeechLike from random syllables, said again with other pitches, tempos, amplitudes and
// noise floors. Every sound goes through endpoint detection (not with --whole) and an analysis, as in
// `melvox compare`; the whole score (all four terms) is evaluated for the note grouping in use and
// for the alternatives below. "tune" pairs are those the grouping was chosen on; "held" pairs were
// kept out of that choice.
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
#include <vector>

#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "spectral/comparison_score.h"
#include "spectral/note_list_comparison.h"
#include "spectral/note_segmentation.h"
#include "spectral/peak_set_similarity.h"
#include "spectral/spectral_analysis.h"

namespace {

using namespace melvox;

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

enum class Carry { kMiddle, kLoudest, kAverage };

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

std::vector<Design> Designs() {
  std::vector<Design> designs = {
      {"equal parts 9, loud x steady (GroupNotes)", [](const NoteSteps& s) { return GroupNotes(s); }},
      {"no note term (sC = 0)", [](const NoteSteps&) { return std::vector<CNoteSegment>(); }},
  };
  for (const int32_t parts : {6, 8, 12}) {
    designs.push_back({"equal parts " + std::to_string(parts) + ", loud x steady",
                       [parts](const NoteSteps& s) { return GroupNotes(s, parts); }});
  }
  const std::pair<Carry, const char*> carries[] = {
      {Carry::kMiddle, "middle"}, {Carry::kLoudest, "loudest"}, {Carry::kAverage, "average"}};
  for (const auto& [carry, name] : carries) {
    designs.push_back(
        {std::string("equal parts 9, ") + name, [c = carry](const NoteSteps& s) { return EqualParts(s, 9, c); }});
  }
  for (const float threshold : {0.4f, 0.5f, 0.6f, 0.7f}) {
    for (const auto& [carry, name] : carries) {
      char title[80];
      std::snprintf(title, sizeof title, "change below %.1f, %s", threshold, name);
      designs.push_back({title, [threshold, c = carry](const NoteSteps& s) { return ChangeNotes(s, threshold, c); }});
    }
  }
  for (const int32_t length : {3, 5}) {
    designs.push_back({"fixed " + std::to_string(length) + " steps, loudest",
                       [length](const NoteSteps& s) { return FixedLength(s, length, Carry::kLoudest); }});
  }
  for (const float threshold : {0.8f, 0.9f}) {
    char title[80];
    std::snprintf(title, sizeof title, "bottom-up merging above %.1f", threshold);
    designs.push_back({title, [threshold](const NoteSteps& s) { return Merged(s, threshold); }});
  }
  return designs;
}

// ---------------------------------------------------------------------------------------------
// The sounds and the pairs.

struct Sound {
  std::unique_ptr<CSoundAnalysis> analysis;
  std::unique_ptr<CSpectralAnalysis> spectral;   // over analysis: the notes of the design in use
  std::vector<std::vector<CNoteSegment>> notes;  // per design
};

struct Pair {
  bool same;
  std::string group;    // "espeak tune", "espeak held", "generated tune", "generated held"
  std::string variant;  // how the recording differs from the reference
  size_t ref;
  size_t rec;
  ComparisonTerms terms;  // of CompareAnalysesInDetail(reference, recording)
};

// White noise at an SNR (dB, against the whole sound's RMS; 0 for none), then a gain, with clipping.
std::vector<int16_t> Transformed(std::vector<int16_t> samples, uint32_t rate, double noise_snr_db, double gain,
                                 uint32_t seed) {
  if (noise_snr_db > 0.0) {
    double energy = 0.0;
    for (const int16_t s : samples) energy += static_cast<double>(s) * s;
    const double rms = std::sqrt(energy / static_cast<double>(std::max<size_t>(samples.size(), 1)));
    // Uniform noise of peak a has an RMS of a / sqrt(3).
    const double peak = rms / std::pow(10.0, noise_snr_db / 20.0) * std::sqrt(3.0);
    const auto noise =
        samples::WhiteNoise(rate, static_cast<int>(samples.size() * 1000 / rate) + 1, static_cast<float>(peak), seed);
    for (size_t i = 0; i < samples.size() && i < noise.size(); ++i) {
      samples[i] = static_cast<int16_t>(std::clamp(int32_t{samples[i]} + noise[i], -32768, 32767));
    }
  }
  for (int16_t& s : samples) s = static_cast<int16_t>(std::clamp(std::lround(s * gain), -32768L, 32767L));
  return samples;
}

double Mean(const std::vector<float>& v) {
  double sum = 0.0;
  for (const float x : v) sum += x;
  return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
}

// The chance that a same-phrase pair scores above a different-phrase pair, ties counting half.
double Auc(const std::vector<float>& same, const std::vector<float>& different) {
  if (same.empty() || different.empty()) return std::nan("");
  double wins = 0.0;
  for (const float s : same) {
    for (const float d : different) wins += s > d ? 1.0 : s == d ? 0.5 : 0.0;
  }
  return wins / (static_cast<double>(same.size()) * static_cast<double>(different.size()));
}

// The noise floor of a quiet room in a recording: white noise of this peak (about -60 dBFS RMS).
constexpr float kRoomNoise = 60.0f;

class Evaluation {
 public:
  Evaluation(std::vector<Design> designs, bool detect_endpoints, int pad_ms)
      : designs_(std::move(designs)), detect_endpoints_(detect_endpoints), pad_ms_(pad_ms) {}

  // A recording: the sound (16-bit mono) with room noise before and after it, each of a length
  // between a fifth of --pad and --pad, as a speaker starts some time after the recording did and the
  // recording stops some time after the speaker.
  size_t AddRecording(std::unique_ptr<CWave> wave) {
    if (pad_ms_ > 0) {
      const uint32_t rate = wave->Format().nSamplesPerSec;
      const auto* data = reinterpret_cast<const int16_t*>(wave->Data());
      std::vector<int16_t> samples = RoomNoise(rate);
      samples.insert(samples.end(), data, data + wave->SampleCount());
      const std::vector<int16_t> after = RoomNoise(rate);
      samples.insert(samples.end(), after.begin(), after.end());
      wave = samples::MakeWave16(samples, rate);
    }
    return Add(std::move(wave));
  }

  size_t Add(std::unique_ptr<CWave> wave) {
    if (detect_endpoints_) DetectEndpoints(*wave);
    Sound sound;
    sound.analysis = std::make_unique<CSoundAnalysis>(wave.get(), 0);
    sound.spectral = std::make_unique<CSpectralAnalysis>(*sound.analysis);
    const NoteSteps steps = PrepareNoteSteps(sound.analysis->Results());
    for (const Design& design : designs_) sound.notes.push_back(design.group(steps));
    sounds_.push_back(std::move(sound));
    return sounds_.size() - 1;
  }

  size_t AddFile(const std::string& path, double noise_snr_db, double gain, bool recording) {
    const std::string key = path + "|" + std::to_string(noise_snr_db) + "|" + std::to_string(gain);
    const auto known = files_.find(key);
    if (known != files_.end()) return known->second;
    CountedPtr<CSoundSource> source = OpenSoundFile(path.c_str());
    std::unique_ptr<CWave> wave = source->GetWave();
    if (noise_snr_db > 0.0 || gain != 1.0) {
      std::vector<int16_t> samples(wave->SampleCount());
      std::copy_n(reinterpret_cast<const int16_t*>(wave->Data()), samples.size(), samples.data());
      const uint32_t rate = wave->Format().nSamplesPerSec;
      wave = samples::MakeWave16(Transformed(samples, rate, noise_snr_db, gain, static_cast<uint32_t>(files_.size())),
                                 rate);
    }
    const size_t index = recording ? AddRecording(std::move(wave)) : Add(std::move(wave));
    files_[key] = index;
    return index;
  }

  std::vector<int16_t> RoomNoise(uint32_t rate) {
    ++pads_;
    // A fixed sequence of lengths (Knuth's multiplicative hash of the count), the same on every run.
    const uint32_t fraction = (pads_ * 2654435761u) >> 22;  // 0 .. 1023
    const int ms = pad_ms_ / 5 + static_cast<int>(int64_t{pad_ms_ - pad_ms_ / 5} * fraction / 1023);
    return samples::WhiteNoise(rate, ms, kRoomNoise, pads_);
  }

  void AddPair(bool same, const std::string& group, const std::string& variant, size_t ref, size_t rec) {
    pairs_.push_back(
        {same, group, variant, ref, rec, CompareAnalysesInDetail(*sounds_[ref].spectral, *sounds_[rec].spectral)});
  }

  void Report() const {
    const std::vector<std::pair<std::string, std::function<bool(const Pair&)>>> columns = {
        {"all", [](const Pair&) { return true; }},
        {"tune", [](const Pair& p) { return p.group.find("tune") != std::string::npos; }},
        {"held", [](const Pair& p) { return p.group.find("held") != std::string::npos; }},
        {"espeak", [](const Pair& p) { return p.group.find("espeak") != std::string::npos; }},
        {"generated", [](const Pair& p) { return p.group.find("generated") != std::string::npos; }},
    };
    std::printf("%zu sounds, endpoints %s, recordings padded with %d ms of room noise; pairs (same/different):",
                sounds_.size(), detect_endpoints_ ? "detected" : "not detected (whole files)", pad_ms_);
    for (const auto& [name, in] : columns) {
      size_t same = 0, different = 0;
      for (const Pair& p : pairs_) {
        if (in(p)) ++(p.same ? same : different);
      }
      std::printf(" %s %zu/%zu", name.c_str(), same, different);
    }
    std::printf("\n\nAUC of the whole score (all four terms), by note grouping\n%-42s", "grouping");
    for (const auto& column : columns) std::printf(" %9s", column.first.c_str());
    std::printf("  sC alone  mean %% same/different\n");
    for (size_t d = 0; d < designs_.size(); ++d) {
      std::printf("%-42s", designs_[d].name.c_str());
      for (const auto& column : columns) {
        std::vector<float> same, different;
        for (const Pair& p : pairs_) {
          if (column.second(p)) (p.same ? same : different).push_back(Score(p, d, -1));
        }
        std::printf(" %9.4f", Auc(same, different));
      }
      std::vector<float> same, different, same_c, different_c;
      for (const Pair& p : pairs_) {
        (p.same ? same : different).push_back(Score(p, d, -1));
        (p.same ? same_c : different_c).push_back(Score(p, d, 3));
      }
      std::printf(" %9.4f  %4.1f/%4.1f\n", Auc(same_c, different_c), 100 * Mean(same), 100 * Mean(different));
    }

    std::printf("\nAUC of each term alone (all pairs, first grouping):");
    const char* terms[] = {"duration", "sA", "sB", "sC"};
    for (int term = 0; term < 4; ++term) {
      std::vector<float> same, different;
      for (const Pair& p : pairs_) (p.same ? same : different).push_back(Score(p, 0, term));
      std::printf(" %s %.4f", terms[term], Auc(same, different));
    }
    std::printf(
        "\n\nBy variant of the recording (first grouping): whole-score AUC, mean %% same/different, "
        "mean sA, sB, sC of the same pairs\n");
    std::map<std::string, std::pair<std::vector<const Pair*>, std::vector<const Pair*>>> variants;
    for (const Pair& p : pairs_) (p.same ? variants[p.variant].first : variants[p.variant].second).push_back(&p);
    for (const auto& [variant, lists] : variants) {
      std::vector<float> same, different, s_a, s_b, s_c;
      for (const Pair* p : lists.first) {
        same.push_back(Score(*p, 0, -1));
        s_a.push_back(p->terms.s_a);
        s_b.push_back(p->terms.s_b);
        s_c.push_back(Score(*p, 0, 3));
      }
      for (const Pair* p : lists.second) different.push_back(Score(*p, 0, -1));
      std::printf("  %-34s %.4f  %4.1f/%4.1f  %.2f %.2f %.2f\n", variant.c_str(), Auc(same, different),
                  100 * Mean(same), 100 * Mean(different), Mean(s_a), Mean(s_b), Mean(s_c));
    }
  }

 private:
  // The whole score of a pair with design d's note lists (term < 0), or one term alone: 0 duration,
  // 1 sA, 2 sB, 3 sC.
  float Score(const Pair& p, size_t d, int term) const {
    ComparisonTerms terms = p.terms;
    if (!terms.compared) return 0.0f;
    terms.s_c = CompareNoteLists(sounds_[p.rec].notes[d], sounds_[p.ref].notes[d]);
    const float values[] = {terms.duration_score, terms.s_a, terms.s_b, terms.s_c};
    return term < 0 ? WeightedScore(terms) : values[term];
  }

  std::vector<Design> designs_;
  bool detect_endpoints_;
  int pad_ms_;
  uint32_t pads_ = 0;  // seeds of the padding noise
  std::vector<Sound> sounds_;
  std::vector<Pair> pairs_;
  std::map<std::string, size_t> files_;
};

// ---------------------------------------------------------------------------------------------
// The generated set.

class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
  uint32_t Next(uint32_t n) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % n;
  }
  float Between(float low, float high) { return low + (high - low) * static_cast<float>(Next(10001)) / 10000.0f; }

 private:
  uint32_t state_;
};

std::vector<samples::Syllable> RandomPhrase(uint32_t seed) {
  Random random(seed);
  const float first_formants[] = {300.0f, 450.0f, 650.0f, 750.0f};
  const float second_formants[] = {800.0f, 1150.0f, 1700.0f, 2200.0f};
  std::vector<samples::Syllable> phrase;
  const uint32_t count = 4 + random.Next(4);
  for (uint32_t i = 0; i < count; ++i) {
    samples::Syllable s{};
    s.fricative_ms = random.Next(2) == 0 ? 0 : static_cast<int>(60 + random.Next(60));
    s.vowel_ms = static_cast<int>(120 + random.Next(140));
    s.f0_start_hz = random.Between(95.0f, 150.0f);
    s.f0_end_hz = random.Between(95.0f, 150.0f);
    s.formant1_hz = first_formants[random.Next(4)];
    s.formant2_hz = second_formants[random.Next(4)];
    s.pause_after_ms = random.Next(3) == 0 ? static_cast<int>(50 + random.Next(70)) : 0;
    phrase.push_back(s);
  }
  return phrase;
}

double PhraseMs(const std::vector<samples::Syllable>& phrase) {
  double ms = 240.0;
  for (const auto& s : phrase) ms += s.fricative_ms + s.vowel_ms + s.pause_after_ms;
  return ms;
}

void AddGenerated(Evaluation& evaluation) {
  constexpr uint32_t kRate = 22050;
  constexpr uint32_t kPhrases = 24;  // the last third is held out
  // The reference voice first; then pitch x 0.8 and x 1.3, tempo 0.85 and 1.15, a quarter of the
  // amplitude, a noise floor 13 times as high, and a mix of all.
  const samples::Voice voices[] = {
      {1.0f, 1.0f, 12000.0f, 30.0f, 1},  {0.8f, 1.0f, 12000.0f, 30.0f, 2},  {1.3f, 1.0f, 12000.0f, 30.0f, 3},
      {1.0f, 0.85f, 12000.0f, 30.0f, 4}, {1.0f, 1.15f, 12000.0f, 30.0f, 5}, {1.0f, 1.0f, 3000.0f, 30.0f, 6},
      {1.0f, 1.0f, 12000.0f, 400.0f, 7}, {1.2f, 0.9f, 20000.0f, 100.0f, 8},
  };
  const char* names[] = {"",           "pitch 0.8",      "pitch 1.3",       "tempo 0.85",
                         "tempo 1.15", "amplitude 0.25", "noise floor 400", "pitch 1.2 tempo 0.9 loud"};
  std::vector<std::vector<samples::Syllable>> phrases;
  std::vector<std::vector<size_t>> sounds;
  for (uint32_t p = 0; p < kPhrases; ++p) {
    phrases.push_back(RandomPhrase(p + 1));
    sounds.emplace_back();
    for (const samples::Voice& voice : voices) {
      auto wave = samples::MakeWave16(samples::SpeechLike(kRate, phrases.back(), voice), kRate);
      // The first voice is the reference; the others are recordings of it.
      sounds.back().push_back(sounds.back().empty() ? evaluation.Add(std::move(wave))
                                                    : evaluation.AddRecording(std::move(wave)));
    }
  }
  for (uint32_t p = 0; p < kPhrases; ++p) {
    const std::string group = p < kPhrases * 2 / 3 ? "generated tune" : "generated held";
    for (size_t v = 1; v < sounds[p].size(); ++v) {
      evaluation.AddPair(true, group, std::string("generated, ") + names[v], sounds[p][0], sounds[p][v]);
    }
    for (uint32_t q = 0; q < kPhrases; ++q) {
      const bool same_split = (q < kPhrases * 2 / 3) == (p < kPhrases * 2 / 3);
      const double ratio = PhraseMs(phrases[q]) / PhraseMs(phrases[p]);
      if (q == p || !same_split || ratio < 0.8 || ratio > 1.25) continue;
      for (size_t v = 1; v < sounds[q].size(); ++v) {
        evaluation.AddPair(false, group, std::string("generated, ") + names[v], sounds[p][0], sounds[q][v]);
      }
    }
  }
}

void AddManifest(Evaluation& evaluation, const std::string& path) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string label, split, ref, rec, key;
    if (!(fields >> label >> split >> ref >> rec)) continue;
    double noise = 0.0, gain = 1.0, value = 0.0;
    while (fields >> key >> value) (key == "noise" ? noise : gain) = value;
    const size_t a = evaluation.AddFile(ref, 0.0, 1.0, false);
    const size_t b = evaluation.AddFile(rec, noise, gain, true);
    // The variant: the recording's voice, speed and pitch (its file name after "SPLIT-INDEX-"), and
    // the transforms.
    std::string variant = rec.substr(rec.find_last_of('/') + 1);
    variant = variant.substr(variant.find('-', variant.find('-') + 1) + 1);
    variant = variant.substr(0, variant.size() - 4);
    if (noise > 0.0) variant += " noise " + std::to_string(static_cast<int>(noise)) + " dB";
    if (gain != 1.0) variant += " gain " + std::to_string(gain).substr(0, 3);
    evaluation.AddPair(label == "same", "espeak " + split, variant, a, b);
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool detect_endpoints = true;
  int pad_ms = 0;
  std::string manifest;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--whole") {
      detect_endpoints = false;
    } else if (std::string(argv[i]) == "--pad" && i + 1 < argc) {
      pad_ms = std::atoi(argv[++i]);
    } else {
      manifest = argv[i];
    }
  }
  Evaluation evaluation(Designs(), detect_endpoints, pad_ms);
  AddGenerated(evaluation);
  if (!manifest.empty()) AddManifest(evaluation, manifest);
  evaluation.Report();
  return 0;
}

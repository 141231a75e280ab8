#include "alignment/alignment_features.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/cpu_features.h"

namespace melvox {
namespace {

constexpr float kNoValue = -1.0e9f;  // a band of a silent step, below every floor
constexpr float kPi = 3.14159265f;

float Mel(float hz) { return 2595.0f * std::log10(1.0f + hz / 700.0f); }
float Hz(float mel) { return 700.0f * (std::pow(10.0f, mel / 2595.0f) - 1.0f); }

// What two voiced steps' pitches add to their distance.
float PitchTerm(float semitones_a, float semitones_b, const AlignmentSettings& settings) {
  return settings.pitch_weight * std::min(std::fabs(semitones_a - semitones_b), settings.pitch_cap);
}

// The bins (bin k at k x bin_hz) of every band, the band edges scaled by `scale` in frequency. A band
// that no bin centre falls into takes the bin nearest its centre.
std::vector<std::vector<int32_t>> BandBins(float bin_hz, float top_hz, float scale) {
  std::vector<std::vector<int32_t>> bins(kProfileBands);
  const float low = Mel(kLowestBandHz);
  const float high = Mel(top_hz);
  for (int32_t band = 0; band < kProfileBands; ++band) {
    const float from = scale * Hz(low + (high - low) * static_cast<float>(band) / kProfileBands);
    const float to = scale * Hz(low + (high - low) * static_cast<float>(band + 1) / kProfileBands);
    for (int32_t k = 0; static_cast<float>(k) * bin_hz < to; ++k) {
      if (static_cast<float>(k) * bin_hz >= from) bins[band].push_back(k);
    }
    if (bins[band].empty()) bins[band].push_back(static_cast<int32_t>(std::lround(0.5f * (from + to) / bin_hz)));
  }
  return bins;
}

// Band levels by band (kProfileBands x steps), kNoValue for silent steps; the bands as BandBins.
std::vector<float> BandLevels(const StepProfile& profile, float top_hz, float scale) {
  const std::vector<std::vector<int32_t>> bins = BandBins(profile.bin_hz, top_hz, scale);
  const size_t steps = profile.spectra.size();
  std::vector<float> levels(steps * kProfileBands, kNoValue);
  for (size_t step = 0; step < steps; ++step) {
    const std::vector<float>& spectrum = profile.spectra[step];
    if (spectrum.empty()) continue;
    for (int32_t band = 0; band < kProfileBands; ++band) {
      float sum = 0.0f;
      int32_t used = 0;
      for (int32_t k : bins[band]) {
        if (k < static_cast<int32_t>(spectrum.size())) {
          sum += spectrum[k];
          ++used;
        }
      }
      if (used > 0) levels[band * steps + step] = sum / static_cast<float>(used);
    }
  }
  return levels;
}

// The `share` quantile of values[0 .. count).
float Quantile(const float* first, size_t count, float share) {
  if (count == 0) return kNoValue;
  const auto at = static_cast<size_t>(share * static_cast<float>(count - 1));
  // The floors are low quantiles: keeping the at + 1 least values on a heap costs about one
  // comparison per value.
  if (at < count / 8) {
    std::vector<float> least(at + 1);
    std::partial_sort_copy(first, first + count, least.begin(), least.end());
    return least[at];
  }
  std::vector<float> values(first, first + count);
  std::nth_element(values.begin(), values.begin() + at, values.end());
  return values[at];
}

// Appends to every row the slopes of its first `count` values, the regression over +-2 steps (the
// ends repeat the first and last step), times `weight`. How the spectrum moves tells sounds apart that
// a voice colours differently.
void AppendSlopes(AlignmentFeatures& features, int32_t count, float weight) {
  constexpr int32_t kSpan = 2;
  constexpr float kNorm = 10.0f;  // 2 x (1 + 4)
  const int32_t old_dims = features.dims;
  const int32_t dims = old_dims + count;
  const size_t steps = features.Steps();
  std::vector<float> values(steps * static_cast<size_t>(dims));
  for (size_t step = 0; step < steps; ++step) {
    const float* row = features.Row(step);
    float* out = values.data() + step * static_cast<size_t>(dims);
    std::copy(row, row + old_dims, out);
    for (int32_t c = 0; c < count; ++c) {
      float sum = 0.0f;
      for (int32_t k = 1; k <= kSpan; ++k) {
        const size_t after = std::min(steps - 1, step + static_cast<size_t>(k));
        const size_t before = step >= static_cast<size_t>(k) ? step - static_cast<size_t>(k) : 0;
        sum += static_cast<float>(k) * (features.Row(after)[c] - features.Row(before)[c]);
      }
      out[old_dims + c] = weight * sum / kNorm;
    }
  }
  features.values = std::move(values);
  features.dims = dims;
}

AlignmentFeatures Features(const StepProfile& profile, const std::vector<float>& bands,
                           const std::vector<float>& floors, float level_floor, const AlignmentSettings& settings) {
  AlignmentFeatures features;
  const int32_t coefficients = std::min(settings.coefficients, kProfileBands - 1);
  features.dims = coefficients + 1;
  const size_t steps = profile.spectra.size();
  features.values.assign(steps * static_cast<size_t>(features.dims), 0.0f);
  features.semitones = profile.semitones;
  features.voiced = profile.voiced;
  std::vector<float> basis(static_cast<size_t>(coefficients) * kProfileBands);  // DCT-II rows c1 .. cN
  for (int32_t c = 1; c <= coefficients; ++c) {
    for (int32_t band = 0; band < kProfileBands; ++band) {
      basis[(c - 1) * kProfileBands + band] =
          std::sqrt(2.0f / static_cast<float>(kProfileBands)) *
          std::cos(kPi * static_cast<float>(c) * (static_cast<float>(band) + 0.5f) / static_cast<float>(kProfileBands));
    }
  }
  // The levels raised to the floors, less their mean per step, and the coefficients, by band over all
  // steps at once (loops the vectoriser takes); each step's sums run over the bands in order.
  std::vector<float> levels(static_cast<size_t>(kProfileBands) * steps);  // band-major
  std::vector<float> means(steps, 0.0f);
  for (int32_t band = 0; band < kProfileBands; ++band) {
    float* level = levels.data() + band * steps;
    for (size_t step = 0; step < steps; ++step) {
      level[step] = std::max(bands[band * steps + step], floors[band]);
      means[step] += level[step];
    }
  }
  for (float& mean : means) mean /= static_cast<float>(kProfileBands);
  for (int32_t band = 0; band < kProfileBands; ++band) {
    float* level = levels.data() + band * steps;
    for (size_t step = 0; step < steps; ++step) level[step] -= means[step];
  }
  std::vector<float> sums(steps);
  for (int32_t c = 1; c <= coefficients; ++c) {
    std::fill(sums.begin(), sums.end(), 0.0f);
    for (int32_t band = 0; band < kProfileBands; ++band) {
      const float* level = levels.data() + band * steps;
      const float cosine = basis[(c - 1) * kProfileBands + band];
      for (size_t step = 0; step < steps; ++step) sums[step] += level[step] * cosine;
    }
    for (size_t step = 0; step < steps; ++step) features.values[step * features.dims + (c - 1)] = sums[step];
  }
  for (size_t step = 0; step < steps; ++step) {
    float* row = features.values.data() + step * static_cast<size_t>(features.dims);
    const float level = std::max(profile.level_db[step], level_floor);
    row[coefficients] = settings.level_weight * level;
    // Quiet steps (near the floor: background noise the endpoints let in) cost less to leave out.
    const float loudness = level_floor < 0.0f ? 1.0f - level / level_floor : 1.0f;
    features.unmatched.push_back(settings.quiet_unmatched_cost +
                                 (settings.unmatched_cost - settings.quiet_unmatched_cost) * loudness);
  }
  // Cepstral mean and variance normalisation: a fixed colour of the microphone adds the same to every
  // step, and voices differ in how far their spectra move.
  for (int32_t c = 0; c < coefficients && steps > 0; ++c) {
    float mean = 0.0f;
    for (size_t step = 0; step < steps; ++step) mean += features.values[step * features.dims + c];
    mean /= static_cast<float>(steps);
    float square = 0.0f;
    for (size_t step = 0; step < steps; ++step) {
      features.values[step * features.dims + c] -= mean;
      square += features.values[step * features.dims + c] * features.values[step * features.dims + c];
    }
    if (square > 0.0f) {
      const float scale = settings.cepstral_deviation / std::sqrt(square / static_cast<float>(steps));
      for (size_t step = 0; step < steps; ++step) features.values[step * features.dims + c] *= scale;
    }
  }
  if (settings.delta_weight > 0.0f && steps > 0) AppendSlopes(features, coefficients, settings.delta_weight);
  features.columns.resize(features.values.size());
  for (size_t step = 0; step < steps; ++step) {
    for (int32_t d = 0; d < features.dims; ++d) features.columns[d * steps + step] = features.Row(step)[d];
  }
  return features;
}

// One sound's band levels at one top and scale, with each band's floor_share quantile over the steps.
struct BandTable {
  float top_hz = 0.0f;
  std::vector<float> levels;  // as BandLevels
  std::vector<float> floors;  // per band
};

BandTable MakeBandTable(const StepProfile& profile, float top_hz, float scale, const AlignmentSettings& settings) {
  BandTable table{top_hz, BandLevels(profile, top_hz, scale), std::vector<float>(kProfileBands)};
  const size_t steps = profile.spectra.size();
  for (int32_t band = 0; band < kProfileBands; ++band) {
    table.floors[band] = Quantile(table.levels.data() + band * steps, steps, settings.floor_share);
  }
  return table;
}

// The features of both sounds from their band tables, with floors common to both.
FeaturePair FeaturePairOf(const StepProfile& a, const BandTable& bands_a, const StepProfile& b,
                          const BandTable& bands_b, float level_floor, const AlignmentSettings& settings) {
  std::vector<float> floors(kProfileBands);
  for (int32_t band = 0; band < kProfileBands; ++band) {
    floors[band] = std::max({bands_a.floors[band], bands_b.floors[band], -settings.range_nepers});
  }
  return {Features(a, bands_a.levels, floors, level_floor, settings),
          Features(b, bands_b.levels, floors, level_floor, settings)};
}

// Every second step of `features` (0, 2, 4, ...).
AlignmentFeatures EverySecondStep(const AlignmentFeatures& features) {
  AlignmentFeatures half;
  half.dims = features.dims;
  const size_t steps = features.Steps();
  const size_t kept = (steps + 1) / 2;
  half.columns.resize(kept * static_cast<size_t>(features.dims));
  for (int32_t d = 0; d < features.dims; ++d) {
    for (size_t k = 0; k < kept; ++k) half.columns[d * kept + k] = features.columns[d * steps + 2 * k];
  }
  for (size_t k = 0; k < kept; ++k) {
    half.values.insert(half.values.end(), features.Row(2 * k), features.Row(2 * k) + features.dims);
    half.semitones.push_back(features.semitones[2 * k]);
    half.voiced.push_back(features.voiced[2 * k]);
  }
  return half;
}

// The mean over every second step of both sounds of its least distance to every second step of the
// other: how near the two sounds come, whatever the order of their steps.
float MeanNearestDistance(const FeaturePair& pair, const AlignmentSettings& settings) {
  const AlignmentFeatures a = EverySecondStep(pair.a);
  const AlignmentFeatures b = EverySecondStep(pair.b);
  const size_t n = a.Steps();
  const size_t m = b.Steps();
  std::vector<float> row(m);
  std::vector<float> nearest_b(m, std::numeric_limits<float>::infinity());
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    DistancesFrom(a, i, b, settings, row.data());
    float nearest_a = std::numeric_limits<float>::infinity();
    for (size_t j = 0; j < m; ++j) {
      nearest_a = std::min(nearest_a, row[j]);
      nearest_b[j] = std::min(nearest_b[j], row[j]);
    }
    sum += nearest_a;
  }
  for (const float d : nearest_b) sum += d;
  return static_cast<float>(sum / static_cast<double>(n + m));
}

}  // namespace

FeaturePair MakeFeaturePair(const StepProfile& a, const StepProfile& b, const AlignmentSettings& settings) {
  if (a.spectra.empty() || b.spectra.empty()) return {};
  // Vocal-tract-length normalisation: a woman's vowels have their resonances some 15 % higher than a
  // man's, a child's more. The scales tried reach 8 % either way (wider ranges let other phrases come
  // nearer too); the scale is chosen on how near the steps come in any order, not on the alignment.
  // Every scale is tried: the nearness is not always highest next to the best scale.
  const float level_floor =
      std::max({Quantile(a.level_db.data(), a.level_db.size(), settings.floor_share),
                Quantile(b.level_db.data(), b.level_db.size(), settings.floor_share), settings.level_floor_db});
  FeaturePair best;
  float best_distance = std::numeric_limits<float>::infinity();
  BandTable bands_a;  // a's bands change only with the top, which the scales above 1 lower
  for (int32_t k = -settings.warp_steps; k <= settings.warp_steps; ++k) {
    // b's scaled bands must stay inside its spectrum.
    const float scale = std::pow(settings.warp_ratio, static_cast<float>(k));
    const float top_hz = std::min({a.top_hz, b.top_hz / std::max(scale, 1.0f), kHighestBandHz});
    if (bands_a.levels.empty() || bands_a.top_hz != top_hz) bands_a = MakeBandTable(a, top_hz, 1.0f, settings);
    FeaturePair pair = FeaturePairOf(a, bands_a, b, MakeBandTable(b, top_hz, scale, settings), level_floor, settings);
    const float distance = MeanNearestDistance(pair, settings);
    if (distance < best_distance) best_distance = distance, best = std::move(pair);
  }
  return best;
}

float StepDistance(const AlignmentFeatures& a, size_t i, const AlignmentFeatures& b, size_t j,
                   const AlignmentSettings& settings) {
  const float* x = a.Row(i);
  const float* y = b.Row(j);
  float sum = 0.0f;
  for (int32_t d = 0; d < a.dims; ++d) sum += (x[d] - y[d]) * (x[d] - y[d]);
  float distance = std::sqrt(sum);
  if (a.voiced[i] != 0 && b.voiced[j] != 0) distance += PitchTerm(a.semitones[i], b.semitones[j], settings);
  return distance;
}

namespace {

// DistancesFrom's work: dimension by dimension over the whole row, then the roots, then the pitch,
// loops the vectoriser takes, each distance summed in the order StepDistance sums it.
__attribute__((always_inline)) inline void RowDistances(const AlignmentFeatures& a, size_t i,
                                                        const AlignmentFeatures& b, const AlignmentSettings& settings,
                                                        float* out) {
  const size_t m = b.Steps();
  const float* x = a.Row(i);
  std::fill(out, out + m, 0.0f);
  for (int32_t d = 0; d < a.dims; ++d) {
    const float* y = b.columns.data() + static_cast<size_t>(d) * m;
    for (size_t j = 0; j < m; ++j) out[j] += (x[d] - y[j]) * (x[d] - y[j]);
  }
  for (size_t j = 0; j < m; ++j) out[j] = std::sqrt(out[j]);
  if (a.voiced[i] == 0) return;
  // Adding 0 leaves an unvoiced step's distance as it is (a distance is never -0).
  for (size_t j = 0; j < m; ++j) {
    out[j] += b.voiced[j] != 0 ? PitchTerm(a.semitones[i], b.semitones[j], settings) : 0.0f;
  }
}

using RowKernel = void (*)(const AlignmentFeatures&, size_t, const AlignmentFeatures&, const AlignmentSettings&,
                           float*);

void RowDistancesPortable(const AlignmentFeatures& a, size_t i, const AlignmentFeatures& b,
                          const AlignmentSettings& settings, float* out) {
  RowDistances(a, i, b, settings, out);
}

#if defined(__x86_64__) || defined(__i386__)
// The same operations eight lanes at a time (and no fused multiply-add), so the same values.
__attribute__((target("avx2"))) void RowDistancesAvx2(const AlignmentFeatures& a, size_t i, const AlignmentFeatures& b,
                                                      const AlignmentSettings& settings, float* out) {
  RowDistances(a, i, b, settings, out);
}
#else
constexpr RowKernel RowDistancesAvx2 = RowDistancesPortable;
#endif

}  // namespace

void DistancesFrom(const AlignmentFeatures& a, size_t i, const AlignmentFeatures& b, const AlignmentSettings& settings,
                   float* out) {
  static const RowKernel kernel = HasAvx2() ? RowDistancesAvx2 : RowDistancesPortable;
  kernel(a, i, b, settings, out);
}

}  // namespace melvox

#include "alignment/alignment_features.h"

#include <algorithm>
#include <cmath>

namespace melvox {
namespace {

constexpr float kNoValue = -1.0e9f;  // a band of a silent step, below every floor
constexpr float kPi = 3.14159265f;

float Mel(float hz) { return 2595.0f * std::log10(1.0f + hz / 700.0f); }
float Hz(float mel) { return 700.0f * (std::pow(10.0f, mel / 2595.0f) - 1.0f); }

// For every value of the log spectrum (bin k at k x bin_hz), the band it belongs to, or -1. A band
// that no bin centre falls into takes the bin nearest its centre.
std::vector<std::vector<int32_t>> BandBins(float bin_hz, float top_hz) {
  std::vector<std::vector<int32_t>> bins(kProfileBands);
  const float low = Mel(kLowestBandHz);
  const float high = Mel(top_hz);
  for (int32_t band = 0; band < kProfileBands; ++band) {
    const float from = Hz(low + (high - low) * static_cast<float>(band) / kProfileBands);
    const float to = Hz(low + (high - low) * static_cast<float>(band + 1) / kProfileBands);
    for (int32_t k = 0; static_cast<float>(k) * bin_hz < to; ++k) {
      if (static_cast<float>(k) * bin_hz >= from) bins[band].push_back(k);
    }
    if (bins[band].empty()) bins[band].push_back(static_cast<int32_t>(std::lround(0.5f * (from + to) / bin_hz)));
  }
  return bins;
}

// Band levels per step (steps x kProfileBands), kNoValue for silent steps.
std::vector<float> BandLevels(const StepProfile& profile, float top_hz) {
  const std::vector<std::vector<int32_t>> bins = BandBins(profile.bin_hz, top_hz);
  std::vector<float> levels(profile.spectra.size() * kProfileBands, kNoValue);
  for (size_t step = 0; step < profile.spectra.size(); ++step) {
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
      if (used > 0) levels[step * kProfileBands + band] = sum / static_cast<float>(used);
    }
  }
  return levels;
}

// The `share` quantile of column `column` of a steps x columns table.
float Quantile(const std::vector<float>& table, size_t columns, size_t column, float share) {
  std::vector<float> values;
  for (size_t i = column; i < table.size(); i += columns) values.push_back(table[i]);
  if (values.empty()) return kNoValue;
  const auto at = static_cast<size_t>(share * static_cast<float>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + at, values.end());
  return values[at];
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
  float x[kProfileBands];
  for (size_t step = 0; step < steps; ++step) {
    float mean = 0.0f;
    for (int32_t band = 0; band < kProfileBands; ++band) {
      x[band] = std::max(bands[step * kProfileBands + band], floors[band]);
      mean += x[band];
    }
    mean /= static_cast<float>(kProfileBands);
    float* row = features.values.data() + step * static_cast<size_t>(features.dims);
    for (int32_t c = 1; c <= coefficients; ++c) {
      float sum = 0.0f;
      const float* cosines = basis.data() + (c - 1) * kProfileBands;
      for (int32_t band = 0; band < kProfileBands; ++band) sum += (x[band] - mean) * cosines[band];
      row[c - 1] = sum;
    }
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
  return features;
}

}  // namespace

FeaturePair MakeFeaturePair(const StepProfile& a, const StepProfile& b, const AlignmentSettings& settings) {
  FeaturePair pair;
  if (a.spectra.empty() || b.spectra.empty()) return pair;
  const float top_hz = std::min({a.top_hz, b.top_hz, kHighestBandHz});
  const std::vector<float> bands_a = BandLevels(a, top_hz);
  const std::vector<float> bands_b = BandLevels(b, top_hz);
  std::vector<float> floors(kProfileBands);
  for (int32_t band = 0; band < kProfileBands; ++band) {
    floors[band] = std::max({Quantile(bands_a, kProfileBands, band, settings.floor_share),
                             Quantile(bands_b, kProfileBands, band, settings.floor_share), -settings.range_nepers});
  }
  const float level_floor = std::max({Quantile(a.level_db, 1, 0, settings.floor_share),
                                      Quantile(b.level_db, 1, 0, settings.floor_share), settings.level_floor_db});
  pair.a = Features(a, bands_a, floors, level_floor, settings);
  pair.b = Features(b, bands_b, floors, level_floor, settings);
  return pair;
}

float StepDistance(const AlignmentFeatures& a, size_t i, const AlignmentFeatures& b, size_t j,
                   const AlignmentSettings& settings) {
  const float* x = a.Row(i);
  const float* y = b.Row(j);
  float sum = 0.0f;
  for (int32_t d = 0; d < a.dims; ++d) sum += (x[d] - y[d]) * (x[d] - y[d]);
  float distance = std::sqrt(sum);
  if (a.voiced[i] != 0 && b.voiced[j] != 0) {
    distance += settings.pitch_weight * std::min(std::fabs(a.semitones[i] - b.semitones[j]), settings.pitch_cap);
  }
  return distance;
}

}  // namespace melvox

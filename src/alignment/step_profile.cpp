#include "alignment/step_profile.h"

#include <algorithm>
#include <cmath>

namespace melvox {
namespace {

// The transform size the analysis uses for a hop: the smallest power of two of at least 128 that
// holds the hop (CPowerFft).
int32_t TransformSize(int32_t hop) {
  int32_t size = 128;
  while (size < hop && size < 1024) size *= 2;
  return size;
}

// The largest of the values, at least 0, in eight lanes (the largest is the same in any order).
float Loudest(const std::vector<float>& values) {
  constexpr size_t kLanes = 8;
  float lanes[kLanes] = {};
  size_t i = 0;
  for (; i + kLanes <= values.size(); i += kLanes) {
    for (size_t lane = 0; lane < kLanes; ++lane) lanes[lane] = std::max(lanes[lane], values[i + lane]);
  }
  for (; i < values.size(); ++i) lanes[0] = std::max(lanes[0], values[i]);
  return *std::max_element(lanes, lanes + kLanes);
}

}  // namespace

StepProfile MakeStepProfile(const CSoundAnalysis& analysis) {
  StepProfile profile;
  const std::vector<FrameResult>& results = analysis.Results();
  const uint32_t rate = analysis.Format().nSamplesPerSec;
  if (results.empty() || rate == 0) return profile;
  profile.first_ms = static_cast<int32_t>(int64_t{analysis.SelectionStart()} * 1000 / rate);
  profile.bin_hz = static_cast<float>(rate) / static_cast<float>(TransformSize(analysis.Hop()));

  float loudest_value = 0.0f;
  float loudest_level = results.front().level_db;
  size_t values = 0;
  std::vector<int16_t> pitches;
  for (const FrameResult& r : results) {
    loudest_value = std::max(loudest_value, Loudest(r.log_spectrum));
    values = std::max(values, r.log_spectrum.size());
    loudest_level = std::max(loudest_level, r.level_db);
    if (r.pitch_hz > 0 && !r.silent) pitches.push_back(r.pitch_hz);
  }
  profile.top_hz = static_cast<float>(values) * profile.bin_hz;
  float median_hz = 0.0f;
  if (!pitches.empty()) {
    std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
    median_hz = static_cast<float>(pitches[pitches.size() / 2]);
  }

  const size_t count = results.size();
  profile.spectra.resize(count);
  profile.level_db.resize(count);
  profile.semitones.assign(count, 0.0f);
  profile.voiced.assign(count, 0);
  for (size_t k = 0; k < count; ++k) {
    const FrameResult& r = results[k];
    profile.spectra[k].resize(r.log_spectrum.size());
    for (size_t i = 0; i < r.log_spectrum.size(); ++i) profile.spectra[k][i] = r.log_spectrum[i] - loudest_value;
    profile.level_db[k] = r.level_db - loudest_level;
    if (r.pitch_hz > 0 && !r.silent && median_hz > 0.0f) {
      profile.voiced[k] = 1;
      profile.semitones[k] = 12.0f * std::log2(static_cast<float>(r.pitch_hz) / median_hz);
    }
  }
  return profile;
}

}  // namespace melvox

#include "analysis/pitch_tracker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "analysis/amdf.h"
#include "analysis/pitch_smoothing.h"

namespace melvox {
namespace {

constexpr double kMinVoicedEnergy = 400000.0;
constexpr uint16_t kMaxVoicedCrossings = 50;
constexpr double kMinPeriodicity = 3.2;
constexpr double kMinCandidateDepth = 0.88;
constexpr int32_t kMaxCandidates = 5;

}  // namespace

void CPitchTracker::CheckReferencePitch(int32_t reference_pitch) {
  if (reference_pitch != 0 && (reference_pitch < kMinReferencePitch || reference_pitch > kMaxReferencePitch)) {
    throw std::invalid_argument("reference pitch must be 0 or " + std::to_string(kMinReferencePitch) + " to " +
                                std::to_string(kMaxReferencePitch) + " Hz (got " + std::to_string(reference_pitch) +
                                ")");
  }
}

void CPitchTracker::Configure(uint32_t sample_rate, int32_t reference_pitch) {
  CheckReferencePitch(reference_pitch);
  const auto rate = static_cast<int32_t>(sample_rate);
  samples_per_ms_ = rate / 1000;
  if (reference_pitch != 0) {
    max_lag_ = static_cast<int32_t>(std::floor(rate / (reference_pitch / 2.1)));
    min_lag_ = static_cast<int32_t>(std::floor(rate / (reference_pitch * 2.1)));
    window_ = rate / reference_pitch;
  } else {
    min_lag_ = rate / 440;
    max_lag_ = rate / 60;
    window_ = 5 * samples_per_ms_;  // 5 ms
  }
  if (min_lag_ < 1 || window_ < 1 || max_lag_ <= min_lag_) {
    throw std::invalid_argument("no pitch lags to search at " + std::to_string(sample_rate) + " Hz");
  }
  sample_rate_ = sample_rate;
  reference_pitch_ = reference_pitch;
  lag_count_ = max_lag_ - min_lag_;
  frame_need_ = window_ + max_lag_;
  amdf_.assign(static_cast<size_t>(lag_count_) + 1, 0);
  candidates_.clear();
}

int16_t CPitchTracker::Estimate(const int16_t* frame, const FrameFeature& feature) {
  if (!(feature.energy >= kMinVoicedEnergy && feature.zero_crossings < kMaxVoicedCrossings)) return Unvoiced();
  ComputeAmdf(frame);
  FindCandidates();
  periodicity_ = static_cast<float>(amdf_max_) / static_cast<float>(amdf_min_);
  if (periodicity_ < kMinPeriodicity) return Unvoiced();
  CorrectOctave();
  // A short best lag is trusted only when the frame is not the rising edge of a sound.
  if (best_lag_ - min_lag_ < lag_count_ / 3 && IsOnset(frame)) return Unvoiced();
  if (best_lag_ < 1) return 0;
  return static_cast<int16_t>(sample_rate_ / static_cast<uint32_t>(best_lag_));
}

void CPitchTracker::SmoothPitch(std::vector<FrameResult>& results) const {
  SmoothPitchContour(results, sample_rate_, min_lag_, max_lag_);
}

void CPitchTracker::ComputeAmdf(const int16_t* frame) {
  // d[k] = sum over j < window of |x[j] - x[j + minLag + k]|; reads frame[0 .. window + maxLag - 2],
  // within FrameNeed().
  amdf_kernel_(frame, window_, min_lag_, lag_count_, amdf_.data());
}

void CPitchTracker::FindCandidates() {
  const int32_t* d = amdf_.data();
  const AmdfExtremes extremes = extremes_kernel_(d, lag_count_);
  const int32_t best = extremes.min_index;
  amdf_min_ = d[best];
  amdf_max_ = extremes.max;
  if (amdf_min_ == 0) amdf_min_ = 1;
  best_lag_ = min_lag_ + best;
  candidates_.assign(1, PitchCandidate{best_lag_, 1.0f});

  int32_t last = best;
  while (static_cast<int32_t>(candidates_.size()) < kMaxCandidates) {
    EraseAround(last);
    const int32_t index = extremes_kernel_(d, lag_count_).min_index;
    const int32_t lowest = d[index];
    // A flat function leaves nothing to measure a depth against.
    if (lowest == amdf_max_ || amdf_max_ <= amdf_min_) break;
    const float depth = static_cast<float>(amdf_max_ - lowest) / static_cast<float>(amdf_max_ - amdf_min_);
    if (depth < kMinCandidateDepth) break;
    candidates_.push_back(PitchCandidate{min_lag_ + index, depth});
    last = index;
  }
}

void CPitchTracker::EraseAround(int32_t centre) {
  int32_t* d = amdf_.data();
  const int32_t reach = min_lag_ / 4;
  const int32_t low = std::max(centre - reach, 0);
  const int32_t high = std::min(centre + reach, lag_count_);
  for (int32_t k = low; k < high; ++k) d[k] = amdf_max_;
  // Outward to the first index that stands above its two outer neighbours (one next to the ends),
  // which is left as it is; an end index is overwritten when reached.
  for (int32_t k = low - 1; k >= 0; --k) {
    if (k >= 2 ? d[k - 2] < d[k] && d[k - 1] < d[k] : k == 1 && d[0] < d[1]) break;
    d[k] = amdf_max_;
  }
  for (int32_t k = high; k < lag_count_; ++k) {
    if (k <= lag_count_ - 3 ? d[k + 2] < d[k] && d[k + 1] < d[k] : k == lag_count_ - 2 && d[k + 1] < d[k]) break;
    d[k] = amdf_max_;
  }
}

void CPitchTracker::CorrectOctave() {
  if (best_lag_ < 2 * min_lag_) return;
  PitchCandidate shortest = candidates_.front();
  for (const PitchCandidate& candidate : candidates_) {
    if (candidate.depth < kMinCandidateDepth) break;
    if (candidate.lag < shortest.lag) shortest = candidate;
  }
  if (shortest.lag == best_lag_) return;
  const int32_t remainder = best_lag_ % shortest.lag;
  const int32_t tolerance = shortest.lag / 12;
  if (remainder < tolerance || shortest.lag - remainder < tolerance) {
    candidates_.insert(candidates_.begin(), shortest);
    best_lag_ = shortest.lag;
  }
}

bool CPitchTracker::IsOnset(const int16_t* frame) const {
  const int32_t middle = frame_need_ / 2;
  int64_t first = 0;
  int64_t second = 0;
  for (int32_t j = 0; j < middle; ++j) first += std::abs(int32_t{frame[j]});
  for (int32_t j = middle; j < frame_need_; ++j) second += std::abs(int32_t{frame[j]});
  return 1.5 * static_cast<double>(first) < static_cast<double>(second);
}

int16_t CPitchTracker::Unvoiced() {
  candidates_.clear();
  best_lag_ = 0;
  return 0;
}

}  // namespace melvox

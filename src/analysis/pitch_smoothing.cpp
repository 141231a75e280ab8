#include "analysis/pitch_smoothing.h"

#include <algorithm>
#include <cstdlib>

namespace melvox {
namespace {

constexpr size_t kAverageReach = 7;  // results i+1 .. i+6 form the average around result i
constexpr int32_t kMaxAveraged = 6;
constexpr size_t kRecentAcceptance = 6;  // the running average serves while the last acceptance is this near

bool HasLag(const FrameResult& result) { return result.pitch_hz != 0 && !result.candidates.empty(); }
int32_t LagOf(const FrameResult& result) { return result.candidates.front().lag; }

// The smaller of lag/average and average/lag.
float Closeness(int32_t lag, int32_t average) {
  if (lag <= 0 || average <= 0) return 0.0f;
  const float ratio = static_cast<float>(lag) / static_cast<float>(average);
  return ratio > 1.0f ? static_cast<float>(average) / static_cast<float>(lag) : ratio;
}

// Pass 2: outliers and octave jumps against a running average of the lags.
void CheckAgainstAverage(std::vector<FrameResult>& results, uint32_t sample_rate, int32_t mean, int32_t low,
                         int32_t high) {
  const size_t count = results.size();
  int32_t average = 0;
  size_t last = 0;  // the last accepted result; 0 also before the first acceptance
  for (size_t i = 0; i < count; ++i) {
    FrameResult& result = results[i];
    if (!HasLag(result)) continue;
    int64_t distance = 0;
    if (last != 0 && i - last < kRecentAcceptance) {
      distance = static_cast<int64_t>(i - last);
    } else {
      int64_t sum = mean;
      int32_t averaged = 1;
      // With no neighbour in range the distance is the result's own index; this makes the tolerance
      // at result 0 zero, so a first result is then accepted only at exactly the average.
      distance = static_cast<int64_t>(i);
      bool first = true;
      for (size_t j = i + 1; j < std::min(i + kAverageReach, count); ++j) {
        if (!HasLag(results[j])) continue;
        const int32_t lag = LagOf(results[j]);
        if (lag < low || lag > high) continue;
        sum += lag;
        ++averaged;
        if (first) {
          distance = static_cast<int64_t>(j - i);
          first = false;
        }
        if (averaged > kMaxAveraged) break;
      }
      average = static_cast<int32_t>(sum / averaged);
    }
    const auto acceptable = [&](int32_t lag) {
      const auto tolerance = static_cast<int32_t>(static_cast<double>(distance) * 0.1 * average);
      return low <= lag && lag <= high && std::abs(lag - average) <= tolerance;
    };

    const int32_t lag = LagOf(result);
    int32_t accepted = lag;
    if (!acceptable(lag)) {
      // The candidate closest to the average, the later one on a tie.
      int32_t closest = lag;
      float best = -1.0f;
      for (const PitchCandidate& candidate : result.candidates) {
        const float closeness = Closeness(candidate.lag, average);
        if (closeness >= best) {
          best = closeness;
          closest = candidate.lag;
        }
      }
      if (closest == lag) {
        result.pitch_hz = 0;
        continue;
      }
      if (!acceptable(closest)) {
        result.pitch_hz = 0;
        result.candidates.clear();
        continue;
      }
      accepted = closest;
    }
    if (accepted != lag) {
      result.pitch_hz = static_cast<int16_t>(sample_rate / static_cast<uint32_t>(accepted));
      result.candidates.front().lag = accepted;
    }
    average = (average + 2 * accepted) / 3;
    last = i;
  }
}

// Pass 3: isolated voiced results are dropped, gaps of one or two results are filled.
void DropIsolatedAndFillGaps(std::vector<FrameResult>& results) {
  const size_t count = results.size();
  const auto voiced = [&](size_t i) { return results[i].pitch_hz != 0; };
  enum class State { kSearching, kChecking, kInside };
  State state = State::kSearching;
  size_t i = 0;
  while (i < count) {
    if (state == State::kSearching) {
      while (i < count && !voiced(i)) ++i;
      state = State::kChecking;
    } else if (state == State::kChecking) {
      bool neighbour = false;
      for (size_t j = i + 1; j <= std::min(i + 3, count - 1); ++j) neighbour = neighbour || voiced(j);
      if (!neighbour) {
        results[i].pitch_hz = 0;
        state = State::kSearching;
      } else {
        state = State::kInside;
      }
      ++i;
    } else {
      while (i < count && voiced(i)) ++i;
      if (i == count) break;
      const size_t gap = i;  // first unvoiced result; gap - 1 is voiced
      size_t resume = 0;
      for (size_t j = gap + 1; j <= std::min(gap + 2, count - 1) && resume == 0; ++j) {
        if (voiced(j)) resume = j;
      }
      if (resume == 0) {
        i = std::min(gap + 2, count - 1);
        state = State::kSearching;
        continue;
      }
      const int32_t step =
          (results[resume].pitch_hz - results[gap - 1].pitch_hz) / static_cast<int32_t>(resume - gap + 1);
      for (size_t j = gap; j < resume; ++j) {
        results[j].pitch_hz = static_cast<int16_t>(results[j - 1].pitch_hz + step);
      }
      i = resume;
    }
  }
}

}  // namespace

void SmoothPitchContour(std::vector<FrameResult>& results, uint32_t sample_rate, int32_t min_lag, int32_t max_lag) {
  int64_t lag_sum = 0;
  int64_t voiced = 0;
  for (const FrameResult& result : results) {
    if (!HasLag(result)) continue;
    lag_sum += LagOf(result);
    ++voiced;
  }
  if (voiced == 0) return;
  const auto mean = static_cast<int32_t>(lag_sum / voiced);
  const int32_t high = std::min(static_cast<int32_t>(mean * 2.1), max_lag);
  const int32_t low = std::max(static_cast<int32_t>(mean / 2.1), min_lag);
  CheckAgainstAverage(results, sample_rate, mean, low, high);
  DropIsolatedAndFillGaps(results);
}

}  // namespace melvox

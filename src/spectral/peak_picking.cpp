#include "spectral/peak_picking.h"

#include <algorithm>
#include <cstdlib>

namespace melvox {
namespace {

constexpr int kMaxPeaksPerFrame = 5;
constexpr float kPeakFloor = 5.0f;  // a peak must stand above this log power
constexpr int32_t kLowBandFirst = 1;
constexpr int32_t kLowBandLast = 16;
constexpr int32_t kHighBandFirst = 46;
constexpr double kNoiseRatio = 2.6;
constexpr int32_t kNeighbourFrames = 2;
constexpr int32_t kNeighbourBins = 3;

// Clears the peak at bin p in the work spectrum: p-1 .. p+1, then outward down to the next valley on
// each side (a bin below its two outer neighbours, which stays); an end bin is cleared when reached.
void ClearSkirt(std::vector<float>& w, int32_t p) {
  const auto n = static_cast<int32_t>(w.size());
  const int32_t low = std::max(p - 1, 0);
  const int32_t high = std::min(p + 2, n);
  for (int32_t j = low; j < high; ++j) w[j] = 0.0f;
  for (int32_t j = low - 1; j >= 0; --j) {
    if (j >= 2 ? w[j - 2] > w[j] && w[j - 1] > w[j] : j == 1 && w[0] > w[1]) break;
    w[j] = 0.0f;
  }
  for (int32_t j = high; j <= n - 1; ++j) {
    if (j <= n - 3 ? w[j + 2] > w[j] && w[j + 1] > w[j] : j == n - 2 && w[n - 1] > w[n - 2]) break;
    w[j] = 0.0f;
  }
}

bool HasNeighbourNear(const PeakList& list, int32_t bin) {
  return std::any_of(list.peaks.begin(), list.peaks.end(),
                     [bin](const SpectralPeak& peak) { return std::abs(peak.bin - bin) <= kNeighbourBins; });
}

}  // namespace

void PickPeaks(int32_t frame, const std::vector<float>& log_spectrum, PeakList& list) {
  const std::vector<float>& s = log_spectrum;
  const auto n = static_cast<int32_t>(s.size());
  if (n == 0) return;
  std::vector<float> w = s;
  int32_t previous = -1;
  for (int round = 0; round < kMaxPeaksPerFrame; ++round) {
    if (previous >= 0) ClearSkirt(w, previous);
    int32_t k = 0;
    float m = w[0];
    for (int32_t j = 1; j < n; ++j) {
      if (w[j] > m) {
        m = w[j];
        k = j;
      }
    }
    if (m <= kPeakFloor) break;
    // The centre counts twice; bin -1 mirrors to bin 1.
    const int32_t left = k == 0 ? 1 : k - 1;
    float energy = m;
    if (left < n) energy += s[left];
    energy += s[k];
    if (k + 1 < n) energy += s[k + 1];
    list.peaks.push_back(SpectralPeak{frame, k, energy});
    previous = k;
  }
}

void MarkNoiseFrames(std::vector<PeakList>& frames) {
  for (PeakList& list : frames) {
    float low = 0.0f;
    float high = 0.0f;
    for (const SpectralPeak& peak : list.peaks) {
      if (peak.bin >= kLowBandFirst && peak.bin <= kLowBandLast) low += peak.energy;
      if (peak.bin >= kHighBandFirst) high += peak.energy;
    }
    list.SetNoise(kNoiseRatio * low < high);
  }
  // A flagged frame that begins its run and is not followed by another flagged frame stands alone.
  for (size_t i = 0; i < frames.size(); ++i) {
    if (!frames[i].IsNoise()) continue;
    const bool begins_run = i == 0 || !frames[i - 1].IsNoise();
    const bool ends_run = i + 1 == frames.size() || !frames[i + 1].IsNoise();
    if (begins_run && ends_run) frames[i].SetNoise(false);
  }
}

void PruneIsolatedPeaks(std::vector<PeakList>& frames) {
  const auto count = static_cast<int32_t>(frames.size());
  for (int32_t i = 0; i < count; ++i) {
    PeakList& list = frames[i];
    if (list.IsNoise()) continue;
    const int32_t first = std::max(i - kNeighbourFrames, 0);
    const int32_t last = std::min(i + kNeighbourFrames, count - 1);
    const auto isolated = [&](const SpectralPeak& peak) {
      for (int32_t j = first; j <= last; ++j) {
        if (j != i && !frames[j].IsNoise() && HasNeighbourNear(frames[j], peak.bin)) return false;
      }
      return true;
    };
    list.peaks.erase(std::remove_if(list.peaks.begin(), list.peaks.end(), isolated), list.peaks.end());
  }
}

}  // namespace melvox

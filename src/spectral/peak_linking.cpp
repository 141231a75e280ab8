#include "spectral/peak_linking.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "spectral/peak_picking.h"

namespace melvox {
namespace {

constexpr size_t kShortestTrack = 5;
constexpr int32_t kMaxTolerance = 3;
constexpr int32_t kSameBinNextFrameCost = 2;
constexpr double kRefusedRatio = 1.6;
constexpr double kFallbackRatio = 1.22;

struct Alternative {
  SpectralPeak peak;
  float ratio;
  int32_t cost;
};

// Removes the first peak of the list at the same frame and bin.
void RemovePeak(PeakList& list, const SpectralPeak& peak) {
  const auto it = std::find_if(list.peaks.begin(), list.peaks.end(), [&](const SpectralPeak& other) {
    return other.frame == peak.frame && other.bin == peak.bin;
  });
  if (it != list.peaks.end()) list.peaks.erase(it);
}

// The next peak of a track whose last peak is `last`, looked for one and two frames on; none when the
// track ends here. A better match found two frames on discards the one-frame match from its list.
std::optional<SpectralPeak> NextPeak(const SpectralPeak& last, std::vector<PeakList>& frames) {
  const auto count = static_cast<int32_t>(frames.size());
  std::optional<SpectralPeak> best;
  int32_t best_cost = INT_MAX;
  std::vector<Alternative> alternatives;
  for (int32_t j = last.frame + 1; j <= std::min(last.frame + 2, count - 1); ++j) {
    if (frames[j].IsNoise()) continue;
    const std::optional<SpectralPeak> match = BestMatch(last, frames[j]);
    if (!match) continue;
    const int32_t cost = 3 * std::abs(match->bin - last.bin) + 2 * (match->frame - last.frame);
    if (cost == kSameBinNextFrameCost) {
      best = match;
      break;
    }
    if (cost >= best_cost) continue;
    // A step of one bin over one frame (cost 5) may change its energy freely.
    if (cost == 4 || cost > 5) {
      const float larger = std::max(match->energy, last.energy);
      const float smaller = std::min(match->energy, last.energy);
      const float ratio = smaller > 0.0f ? larger / smaller : static_cast<float>(kRefusedRatio);
      if (ratio >= kRefusedRatio) continue;
      if (ratio >= kFallbackRatio) {
        alternatives.push_back(Alternative{*match, ratio, cost});
        continue;
      }
    }
    best_cost = cost;
    if (best) RemovePeak(frames[best->frame], *best);
    best = match;
  }
  if (!best && !alternatives.empty()) {
    const Alternative* chosen = &alternatives.front();
    for (const Alternative& alternative : alternatives) {
      if (static_cast<float>(alternative.cost) * alternative.ratio < static_cast<float>(chosen->cost) * chosen->ratio) {
        chosen = &alternative;
      }
    }
    best = chosen->peak;
  }
  return best;
}

// Appends `next` to the track, with interpolated peaks for the frames it skips.
void Accept(PeakTrack& track, const SpectralPeak& next) {
  const SpectralPeak last = track.peaks.back();
  const int32_t gap = next.frame - last.frame;
  if (gap > 1) {
    const int32_t bin_step = (next.bin - last.bin) / gap;
    const float energy_step = (next.energy - last.energy) / static_cast<float>(gap);
    for (int32_t k = 1; k < gap; ++k) {
      track.peaks.push_back(
          SpectralPeak{last.frame + k, last.bin + k * bin_step, last.energy + static_cast<float>(k) * energy_step});
    }
  }
  track.peaks.push_back(next);
}

}  // namespace

std::optional<SpectralPeak> BestMatch(const SpectralPeak& reference, const PeakList& list) {
  if (list.peaks.empty()) return std::nullopt;
  const int32_t tolerance = std::min(3 * std::abs(reference.frame - list.peaks.front().frame), kMaxTolerance);
  std::optional<SpectralPeak> best;
  int32_t best_distance = INT_MAX;
  for (const SpectralPeak& peak : list.peaks) {
    const int32_t distance = std::abs(peak.bin - reference.bin);
    if (distance <= tolerance && distance < best_distance) {
      best_distance = distance;
      best = peak;
    }
  }
  return best;
}

std::unique_ptr<CPeakTracks> LinkTracks(std::vector<PeakList>& frames) {
  const auto count = static_cast<int32_t>(frames.size());
  std::vector<PeakTrack> tracks;
  int32_t scan = 0;
  while (true) {
    while (scan < count && (frames[scan].IsNoise() || frames[scan].peaks.empty())) ++scan;
    if (scan == count) break;
    // The lowest bin of the frame starts a track; the frame is offered again when it ends.
    std::vector<SpectralPeak>& peaks = frames[scan].peaks;
    const auto lowest = std::min_element(peaks.begin(), peaks.end(),
                                         [](const SpectralPeak& a, const SpectralPeak& b) { return a.bin < b.bin; });
    PeakTrack track;
    track.peaks.push_back(*lowest);
    peaks.erase(lowest);
    while (track.peaks.back().frame + 1 < count) {
      const std::optional<SpectralPeak> next = NextPeak(track.peaks.back(), frames);
      if (!next) break;
      Accept(track, *next);
      RemovePeak(frames[next->frame], *next);
    }
    if (track.peaks.size() >= kShortestTrack) tracks.push_back(std::move(track));
  }
  frames.clear();
  return std::make_unique<CPeakTracks>(std::move(tracks));
}

std::unique_ptr<CPeakTracks> TrackPeaks(const std::vector<FrameResult>& results) {
  if (results.empty()) return nullptr;
  std::vector<PeakList> frames(results.size());
  for (size_t i = 0; i < results.size(); ++i) PickPeaks(static_cast<int32_t>(i), results[i].log_spectrum, frames[i]);
  MarkNoiseFrames(frames);
  PruneIsolatedPeaks(frames);
  return LinkTracks(frames);
}

}  // namespace melvox

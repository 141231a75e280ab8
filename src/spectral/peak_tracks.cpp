#include "spectral/peak_tracks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace melvox {

CPeakTracks::CPeakTracks(std::vector<PeakTrack> tracks) : tracks_(std::move(tracks)) {
  int32_t first = -1;
  int32_t last = -1;
  for (const PeakTrack& track : tracks_) {
    if (track.peaks.empty()) continue;
    const int32_t track_first = track.peaks.front().frame;
    const int32_t track_last = track.peaks.back().frame;
    if (first == -1 || track_first < first) first = track_first;
    if (track_last > last) last = track_last;
  }
  SetStart(first == -1 ? -1 : 10 * first);
  SetEnd(last == -1 ? -1 : 10 * (last + 1));
  if (first == -1) return;

  // A track's peak i lies in step (its first step + i), up to its last step. Each step's points are
  // gathered in track order and then sorted, as a search through the tracks for one step would
  // gather and sort them, so the order among equal bins is the same as well.
  first_frame_ = first;
  const auto steps = static_cast<size_t>(last - first + 1);
  std::vector<size_t> counts(steps + 1, 0);
  auto for_each_point = [&](auto&& visit) {
    for (const PeakTrack& track : tracks_) {
      if (track.peaks.empty()) continue;
      const int32_t track_first = track.peaks.front().frame;
      const auto span = static_cast<size_t>(int64_t{track.peaks.back().frame} - track_first + 1);
      for (size_t i = 0; i < std::min(span, track.peaks.size()); ++i) {
        if (track.peaks[i].bin >= 1) visit(static_cast<size_t>(track_first - first) + i, track.peaks[i]);
      }
    }
  };
  for_each_point([&](size_t step, const SpectralPeak&) { ++counts[step + 1]; });
  for (size_t i = 1; i <= steps; ++i) counts[i] += counts[i - 1];
  point_offsets_ = counts;
  points_.resize(counts[steps]);
  for_each_point([&](size_t step, const SpectralPeak& point) { points_[counts[step]++] = point; });
  for (size_t i = 0; i < steps; ++i) {
    std::sort(points_.begin() + static_cast<std::ptrdiff_t>(point_offsets_[i]),
              points_.begin() + static_cast<std::ptrdiff_t>(point_offsets_[i + 1]),
              [](const SpectralPeak& a, const SpectralPeak& b) { return a.bin < b.bin; });
  }
}

std::vector<SpectralPeak> CPeakTracks::PointsAt(int32_t frame) const {
  const int64_t step = int64_t{frame} - first_frame_;
  if (point_offsets_.empty() || step < 0 || step + 1 >= static_cast<int64_t>(point_offsets_.size())) return {};
  return std::vector<SpectralPeak>(points_.begin() + static_cast<std::ptrdiff_t>(point_offsets_[step]),
                                   points_.begin() + static_cast<std::ptrdiff_t>(point_offsets_[step + 1]));
}

}  // namespace melvox

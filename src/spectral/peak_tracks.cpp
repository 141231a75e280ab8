#include "spectral/peak_tracks.h"

#include <algorithm>

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
}

std::vector<SpectralPeak> CPeakTracks::PointsAt(int32_t frame) const {
  std::vector<SpectralPeak> points;
  for (const PeakTrack& track : tracks_) {
    if (track.peaks.empty()) continue;
    const int32_t first = track.peaks.front().frame;
    if (frame < first || frame > track.peaks.back().frame) continue;
    const auto index = static_cast<size_t>(frame - first);
    if (index < track.peaks.size() && track.peaks[index].bin >= 1) points.push_back(track.peaks[index]);
  }
  std::sort(points.begin(), points.end(), [](const SpectralPeak& a, const SpectralPeak& b) { return a.bin < b.bin; });
  return points;
}

}  // namespace melvox

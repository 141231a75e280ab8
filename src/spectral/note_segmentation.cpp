#include "spectral/note_segmentation.h"

#include <algorithm>
#include <memory>

#include "spectral/peak_linking.h"
#include "spectral/peak_set_similarity.h"
#include "spectral/peak_tracks.h"

namespace melvox {
namespace {

constexpr float kMeanEnergy = 33.0f;
constexpr int32_t kStepFrames = 2;
constexpr int32_t kFirstLeftOutBin = 46;
constexpr int32_t kFirstTaperedBin = 30;
constexpr float kTaperBins = 17.0f;  // the taper reaches 0 at bin 46

// The tracks with every energy scaled so that their mean becomes 33.
CPeakTracks ScaledTracks(const CPeakTracks& tracks) {
  std::vector<PeakTrack> scaled = tracks.Tracks();
  float sum = 0.0f;
  int64_t count = 0;
  for (const PeakTrack& track : scaled) {
    for (const SpectralPeak& peak : track.peaks) sum += peak.energy;
    count += static_cast<int64_t>(track.peaks.size());
  }
  const float mean = count > 0 ? sum / static_cast<float>(count) : 0.0f;
  const float factor = mean != 0.0f ? kMeanEnergy / mean : 0.0f;
  for (PeakTrack& track : scaled) {
    for (SpectralPeak& peak : track.peaks) peak.energy *= factor;
  }
  return CPeakTracks(std::move(scaled));
}

// The frame's points without the high bins, the upper middle bins tapered.
std::vector<SpectralPeak> StepPoints(const CPeakTracks& tracks, int32_t frame) {
  std::vector<SpectralPeak> points = tracks.PointsAt(frame);
  points.erase(
      std::remove_if(points.begin(), points.end(), [](const SpectralPeak& p) { return p.bin >= kFirstLeftOutBin; }),
      points.end());
  for (SpectralPeak& p : points) {
    if (p.bin >= kFirstTaperedBin) p.energy *= 1.0f - static_cast<float>(p.bin - (kFirstTaperedBin - 1)) / kTaperBins;
  }
  return points;
}

float Energy(const std::vector<SpectralPeak>& points) {
  float sum = 0.0f;
  for (const SpectralPeak& p : points) sum += p.energy;
  return sum;
}

// How alike step k is to both of its neighbours: the smaller of its similarities to the step before
// and to the step after (only one of them at an end; 1 for a lone step).
float Steadiness(const NoteSteps& steps, int32_t k) {
  const auto count = static_cast<int32_t>(steps.points.size());
  float steadiness = 1.0f;
  if (k > 0) steadiness = std::min(steadiness, steps.similarity[k]);
  if (k + 1 < count) steadiness = std::min(steadiness, steps.similarity[k + 1]);
  return steadiness;
}

int32_t StepStartMs(const NoteSteps& steps, int32_t k) { return 10 * (steps.first_frame + kStepFrames * k); }

// The points with every energy moved halfway towards the mean level 33.
std::vector<SpectralPeak> Flattened(std::vector<SpectralPeak> points) {
  for (SpectralPeak& p : points) p.energy = (p.energy + kMeanEnergy) / 2.0f;
  return points;
}

}  // namespace

NoteSteps PrepareNoteSteps(const std::vector<FrameResult>& results) {
  NoteSteps steps;
  const std::unique_ptr<CPeakTracks> tracks = TrackPeaks(results);
  if (tracks == nullptr || tracks->Tracks().empty()) return steps;
  const CPeakTracks scaled = ScaledTracks(*tracks);
  steps.first_frame = scaled.FirstFrame();
  for (int32_t frame = scaled.FirstFrame(); frame <= scaled.LastFrame(); frame += kStepFrames) {
    steps.points.push_back(StepPoints(scaled, frame));
    const size_t k = steps.points.size() - 1;
    steps.similarity.push_back(k == 0 ? 0.0f : ComparePeakSets(steps.points[k - 1], steps.points[k]));
  }
  return steps;
}

std::vector<CNoteSegment> GroupNotes(const NoteSteps& steps, int32_t note_count) {
  std::vector<CNoteSegment> notes;
  if (note_count <= 0) return notes;
  std::vector<int32_t> sounding;  // the steps that hold points
  for (int32_t k = 0; k < static_cast<int32_t>(steps.points.size()); ++k) {
    if (!steps.points[k].empty()) sounding.push_back(k);
  }
  const auto count = static_cast<int32_t>(sounding.size());
  int32_t begin = 0;
  for (int32_t i = 1; i <= note_count; ++i) {
    const int32_t end = i * count / note_count;
    if (end == begin) continue;  // fewer steps than notes: one note per step
    int32_t representative = sounding[begin];
    float best_value = -1.0f;
    for (int32_t j = begin; j < end; ++j) {
      const float value = Energy(steps.points[sounding[j]]) * Steadiness(steps, sounding[j]);
      if (value > best_value) {
        best_value = value;
        representative = sounding[j];
      }
    }
    notes.emplace_back(StepStartMs(steps, sounding[begin]), StepStartMs(steps, sounding[end - 1] + 1),
                       Flattened(steps.points[representative]));
    begin = end;
  }
  return notes;
}

std::vector<CNoteSegment> SegmentNotes(const std::vector<FrameResult>& results) {
  return GroupNotes(PrepareNoteSteps(results));
}

}  // namespace melvox

#include "analysis/endpoint_detector.h"

#include <algorithm>
#include <memory>

#include "analysis/mono_wave.h"

namespace melvox {
namespace {

constexpr float kNoiseLevelAtSetup = 262144.0f;
constexpr int32_t kMinimumFrames = 5;         // 50 ms: shorter sounds are not searched
constexpr int32_t kLoudRun = 6;               // loud frames in a row that accept a boundary
constexpr size_t kHistoryFrames = 50;         // frames kept for refining a boundary
constexpr uint16_t kFricativeCrossings = 50;  // per 10 ms frame: 5000 per second
constexpr int32_t kFricativeRun = 3;
constexpr int64_t kLoudMeasurement = 0x20000;  // a pair of frames this loud never lowers the noise level
constexpr float kLeastEnergy = 1.0f;           // the least energy the noise measurement sees

}  // namespace

bool CEndpointDetector::Detect(CWave& wave) {
  Setup(wave);
  if (Step(wave) != kBothFound) return false;
  const auto last_sample = static_cast<int32_t>(sample_count_) - 1;
  wave.SetSelection(start_pos_, std::min(end_pos_, last_sample));
  return true;
}

void CEndpointDetector::Setup(const CWave& wave) {
  layout_ = LayoutOf(wave);
  sample_count_ = UsableSampleCount(wave);
  const WAVEFORMATEX& format = wave.Format();
  // 10 ms of mono samples; computed in 64 bits so that a wild header cannot overflow it.
  const int64_t bytes_per_10ms = int64_t{format.nAvgBytesPerSec} * 10;
  frame_length_ = static_cast<int32_t>(layout_.eight_bit ? bytes_per_10ms / 1000 : bytes_per_10ms / 2000);
  thresholds_.SetNoiseLevel(kNoiseLevelAtSetup);
  history_.clear();
  state_ = kSearchingStart;
  stream_offset_ = 0;
  pending_length_ = 0;
  start_pos_ = 0;
  end_pos_ = 0;
  // The first two frames must exist; a shorter sound is never searched (Step needs 5 frames).
  if (frame_length_ > 0 && sample_count_ / static_cast<uint32_t>(frame_length_) >= 2) {
    thresholds_.SetNoiseLevel(InitialNoiseLevel(Frame(0).energy, Frame(1).energy));
  }
}

int32_t CEndpointDetector::Step(const CWave& wave) {
  layout_ = LayoutOf(wave);
  sample_count_ = UsableSampleCount(wave);
  if (frame_length_ <= 0) return state_;
  frame_count_ = static_cast<int32_t>(sample_count_ / static_cast<uint32_t>(frame_length_));
  if (frame_count_ < kMinimumFrames) return state_;
  if (state_ == kSearchingStart) {
    const int32_t start = Scan(0, frame_count_);
    if (start != -1) {
      start_pos_ = start;
      state_ = kStartFound;
    }
  }
  if (state_ == kStartFound || state_ == kBothFound) {
    // Backwards from the last frame, stopping before the frame where the sound starts.
    const int32_t end = Scan(frame_count_ - 1, start_pos_ / frame_length_);
    if (end != -1) {
      end_pos_ = end + frame_length_ - 1;  // the last sample of that frame
      state_ = kBothFound;
    }
  }
  stream_offset_ += pending_length_;
  pending_length_ = static_cast<int32_t>(sample_count_);
  return state_;
}

std::pair<int32_t, int32_t> CEndpointDetector::Result() {
  std::pair<int32_t, int32_t> result{-1, -1};
  if (state_ == kBothFound) {
    result = {start_pos_, end_pos_};
  } else if (state_ == kStartFound) {
    result = {start_pos_, -1};
  }
  state_ = kIdle;
  return result;
}

FrameFeature CEndpointDetector::Frame(int32_t index) const {
  return MeasureFrame(layout_, static_cast<uint32_t>(frame_length_) * static_cast<uint32_t>(index), frame_length_);
}

void CEndpointDetector::AdaptNoise(int64_t measured) {
  const float level = thresholds_.noise_level;
  const auto m = static_cast<float>(measured);
  float next = level;
  if (m >= 2 * level && measured >= kLoudMeasurement) {
    // The frames are taken for sound, not noise: the level stays.
  } else if (static_cast<float>(4 * measured) < level) {
    next = (m + level) / 2;  // fast fall
  } else {
    next = (6 * level + m) / 7;  // slow follow
  }
  thresholds_.SetNoiseLevel(next);
}

int32_t CEndpointDetector::Scan(int32_t from, int32_t to) {
  history_.clear();
  if (from == to) return -1;
  const int32_t direction = to >= from ? 1 : -1;
  int32_t run = 0;
  uint32_t run_start = 0;
  int64_t energy_sum = 0;
  int32_t summed = 0;
  // Only frames of the wave are read, whatever a later Step in a stream asks for.
  for (int32_t i = from; i != to && i >= 0 && i < frame_count_; i += direction) {
    FrameFeature frame = Frame(i);
    frame.position = static_cast<uint32_t>(stream_offset_) + static_cast<uint32_t>(frame_length_) * i;
    // The noise level is measured in whole units of energy (AdaptNoise takes the truncated mean of
    // two frames), so a background below one unit (digital silence with dither in its last bit, a
    // decoder's rounding) measures 0 and halves the level towards 0. Judged against thresholds of
    // almost nothing, such a frame would count as loud: below one unit it is silence.
    frame.frame_class = frame.energy < kLeastEnergy ? kFrameSilence : thresholds_.Classify(frame.energy);
    if (frame.frame_class == kFrameLoud) {
      ++run;
      // The sixth loud frame ends the search; its record is not kept.
      if (run == kLoudRun) return Refine(run_start);
      if (run == 1) run_start = frame.position;
    } else {
      run = 0;
    }
    if (adapt_noise_ == 0) {
      energy_sum += static_cast<int64_t>(frame.energy);  // truncated toward zero
      if (++summed == 2) {
        AdaptNoise(energy_sum / 2);
        energy_sum = 0;
        summed = 0;
      }
    }
    if (history_.size() == kHistoryFrames) history_.pop_front();
    history_.push_back(frame);
  }
  return -1;
}

int32_t CEndpointDetector::Refine(uint32_t run_start) const {
  auto record = history_.rbegin();
  // Skip the frames of the loud run, the one where it began included.
  while (record != history_.rend() && record->position != run_start) ++record;
  if (record != history_.rend()) ++record;
  int32_t run = 0;
  int64_t candidate = run_start;
  for (; record != history_.rend(); ++record) {
    if (record->zero_crossings >= kFricativeCrossings && record->frame_class != kFrameSilence) {
      if (++run >= kFricativeRun) candidate = record->position;
    } else {
      run = 0;
    }
  }
  return static_cast<int32_t>(candidate);
}

bool DetectEndpoints(CWave& wave) {
  CEndpointDetector detector;
  detector.SetAdaptNoise(true);
  if (wave.Format().nChannels <= 1) return detector.Detect(wave);
  // Several channels: the selection counts frames, found on the channels' mean.
  std::unique_ptr<CWave> mono = MonoCopy(wave);
  if (!detector.Detect(*mono)) return false;
  wave.SetSelection(mono->SelectionStart(), mono->SelectionEnd());
  return true;
}

}  // namespace melvox

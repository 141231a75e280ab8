#include "analysis/endpoint_detector.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "samples/speech_like.h"

namespace melvox {
namespace {

constexpr uint32_t kRate = 22050;
constexpr int32_t kFrame = 220;  // samples per 10 ms at 22050 Hz

// Background noise for `frames` frames: uniform, of mean energy about 30000 at peak 300; at peak 0.7
// samples of -1, 0 and 1, digital silence with a dithered last bit (energy about 0.3 per frame).
std::vector<int16_t> Noise(int32_t frames, uint32_t seed, float peak = 300.0f) {
  return samples::WhiteNoise(kRate, frames * 10, peak, seed);
}

// Adds the first `frames` whole frames of `source` into `mix` from frame `first` on.
void MixIn(std::vector<int16_t>& mix, const std::vector<int16_t>& source, int32_t first, int32_t frames) {
  const size_t count = std::min(source.size(), size_t(frames) * kFrame);
  for (size_t i = 0; i < count && first * kFrame + i < mix.size(); ++i) {
    mix[first * kFrame + i] = static_cast<int16_t>(mix[first * kFrame + i] + source[i]);
  }
}

TEST(EndpointDetector, ToneInSteadyNoiseOrDitheredSilenceIsFoundFromItsFirstFrameOrTheFricativeRunBeforeIt) {
  // Fricative-like frames: white noise of energy about 180000, between the low and the high threshold
  // of a background near 30000, with far more than 50 zero crossings per frame.
  struct Case {
    const char* name;
    float noise_peak;
    int32_t total_frames, fricative_frames, tone_first, tone_last;  // frames; the fricatives just before the tone
    int32_t expected_start, expected_end;                           // samples
    float whistle_hz = 0.0f;  // the fricative frames hold a tone of this pitch instead of noise
  };
  const Case cases[] = {
      {"tone in the middle", 300, 120, 0, 20, 80, 20 * kFrame, 81 * kFrame - 1},
      // Frames below one unit of energy are silence, however low the noise level has fallen.
      {"tone in dithered silence", 0.7f, 120, 0, 20, 80, 20 * kFrame, 81 * kFrame - 1},
      // The last half frame is never examined: the end is the last sample of the last whole frame.
      {"tone to the end", 300, 100, 0, 20, 100, 20 * kFrame, 100 * kFrame - 1},
      {"2 fricative frames", 300, 60, 2, 20, 39, 20 * kFrame, 40 * kFrame - 1},
      {"3 fricative frames", 300, 60, 3, 20, 39, 17 * kFrame, 40 * kFrame - 1},
      {"5 fricative frames", 300, 60, 5, 20, 39, 15 * kFrame, 40 * kFrame - 1},
      // As loud, with some 45 zero crossings per frame: not a fricative; with some 55, one.
      {"5 whistle frames", 300, 60, 5, 20, 39, 20 * kFrame, 40 * kFrame - 1, 2250.0f},
      {"5 higher whistle frames", 300, 60, 5, 20, 39, 15 * kFrame, 40 * kFrame - 1, 2750.0f},
  };
  for (const Case& c : cases) {
    std::vector<int16_t> mix = Noise(c.total_frames, 7, c.noise_peak);
    mix.resize(mix.size() + kFrame / 2, 0);
    MixIn(mix,
          c.whistle_hz > 0.0f ? samples::Tone(kRate, c.whistle_hz, c.fricative_frames * 10, 600.0f)
                              : samples::WhiteNoise(kRate, c.fricative_frames * 10, 735.0f, 11),
          c.tone_first - c.fricative_frames, c.fricative_frames);
    const int32_t tone_frames = c.tone_last - c.tone_first + 1;
    MixIn(mix, samples::Tone(kRate, 440.0f, tone_frames * 10, 8000.0f), c.tone_first, tone_frames);
    auto wave = samples::MakeWave16(mix, kRate);
    EXPECT_TRUE(DetectEndpoints(*wave)) << c.name;
    EXPECT_EQ(std::pair(wave->SelectionStart(), wave->SelectionEnd()), std::pair(c.expected_start, c.expected_end))
        << c.name;
  }
}

TEST(EndpointDetector, LeavesTheSelectionAloneWhenNothingIsFound) {
  std::vector<int16_t> short_tone = Noise(50, 9);
  MixIn(short_tone, samples::Tone(kRate, 300.0f, 50, 8000.0f), 20, 5);
  // 40 ms: shorter than the 5 frames that are searched; the 50 ms tone: a boundary needs a run of 6 loud
  // frames; the last, a format that states no bytes per second, gives no frame length.
  const std::vector<int16_t> cases[] = {samples::Tone(kRate, 300.0f, 40, 8000.0f),
                                        std::vector<int16_t>(100 * kFrame),
                                        Noise(100, 5, 0.7f),
                                        Noise(100, 5),
                                        short_tone,
                                        samples::Tone(kRate, 300.0f, 500, 8000.0f)};
  for (size_t i = 0; i < std::size(cases); ++i) {
    auto wave = samples::MakeWave16(cases[i], kRate);
    WAVEFORMATEX format = wave->Format();
    format.nAvgBytesPerSec = i + 1 == std::size(cases) ? 0 : format.nAvgBytesPerSec;
    wave->SetFormat(format);
    wave->SetSelection(3, 77);
    EXPECT_FALSE(DetectEndpoints(*wave)) << "case " << i;
    EXPECT_EQ(std::pair(wave->SelectionStart(), wave->SelectionEnd()), std::pair(3, 77)) << "case " << i;
  }
}

}  // namespace
}  // namespace melvox

#include "spectral/track_resynthesis.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/tone_synthesizer.h"
#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox::testing {
namespace {

constexpr int32_t kHop = 220;  // 22050 Hz

PeakTrack Track(int32_t first_frame, int32_t count, int32_t bin, float energy) {
  PeakTrack track;
  for (int32_t i = 0; i < count; ++i) track.peaks.push_back({first_frame + i, bin, energy});
  return track;
}

// The tone of one track alone, as the synthesizer makes it from explicit steps.
std::vector<int16_t> Tone(size_t step_count, size_t first_step, size_t count, uint16_t pitch, int32_t amplitude) {
  std::vector<ToneStep> steps(step_count, ToneStep{0, 0});
  for (size_t i = first_step; i < first_step + count; ++i) steps[i] = {pitch, amplitude};
  return Samples16(*SynthesizeTone(steps));
}

TEST(ResynthesizeTracks, OneTrackIsAToneAtNinetyPercentOfFullScaleAndNoTrackNoSound) {
  // Five peaks at bin 10 with energy 33, selection starting 1 s (100 steps) into a wave of 110 steps.
  const CPeakTracks tracks({Track(0, 5, 10, 33.0f)});
  const auto wave = ResynthesizeTracks(tracks, 110 * kHop + 100, kHop, 100 * kHop + 7);
  ASSERT_NE(wave, nullptr);
  ASSERT_EQ(wave->SampleCount(), 110u * 441);
  // Exactly the synthesizer's tone of 960 Hz at 29490 (0.9 x 32767) in steps 100 to 104, silence
  // elsewhere; the synthesizer's own tests check what such a tone holds.
  EXPECT_EQ(Samples16(*wave), Tone(110, 100, 5, 960, 29490));
  // No tracks, or tracks only at bin 0 (no pitch), make no sound.
  EXPECT_EQ(ResynthesizeTracks(CPeakTracks({Track(0, 5, 0, 60.0f)}), 12 * kHop, kHop, 0), nullptr);
  EXPECT_EQ(ResynthesizeTracks(CPeakTracks(), 12 * kHop, kHop, 0), nullptr);
}

TEST(ResynthesizeTracks, AnalysedSpeechLastsItsStepsAt44100HzAfterItsSelectionStart) {
  for (const uint32_t rate : {8000u, 11025u, 22050u, 44100u}) {
    SCOPED_TRACE(rate);
    auto wave = samples::MakeWave16(samples::SpeechLike(rate, samples::DemoPhrase(), samples::Voice{}), rate);
    const auto hop = static_cast<int32_t>(rate / 100);
    wave->SetSelection(static_cast<int32_t>(rate), static_cast<int32_t>(wave->SampleCount()) - 1);  // from 1 s
    const CSoundAnalysis analysis(wave.get(), 0);
    const CSpectralAnalysis spectral(analysis);
    ASSERT_NE(spectral.PeakTracks(), nullptr);
    ASSERT_FALSE(spectral.PeakTracks()->Tracks().empty());

    const auto sound = ResynthesizeTracks(spectral);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->Format().nSamplesPerSec, 44100u);
    EXPECT_EQ(sound->SampleCount(), wave->SampleCount() / hop * 441);
    // The first tone starts in the step of the first track frame, 100 steps after the wave's start.
    const std::vector<int16_t> s = Samples16(*sound);
    const auto first = std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; }) - s.begin();
    EXPECT_EQ(first / 441, spectral.PeakTracks()->FirstFrame() + 100);
  }
}

}  // namespace
}  // namespace melvox::testing

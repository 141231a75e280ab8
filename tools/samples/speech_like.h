// Generated sounds that behave like speech where the analysis looks: voiced syllables with a gliding
// pitch and formant-shaped harmonics, hissing fricatives, pauses over a faint noise floor. Used by the
// demo when espeak-ng is not installed, and by tests and benchmarks. Every generator is deterministic.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/wave.h"

namespace melvox::samples {

// One syllable: an optional fricative onset, then a vowel whose pitch glides linearly.
struct Syllable {
  int fricative_ms;  // 0 for none
  int vowel_ms;
  float f0_start_hz;
  float f0_end_hz;
  float formant1_hz;
  float formant2_hz;
  int pause_after_ms;  // silence after the syllable
};

struct Voice {
  float pitch_scale = 1.0f;  // multiplies every pitch
  float tempo = 1.0f;        // > 1 speaks faster (shorter durations)
  float amplitude = 12000.0f;
  float noise_floor = 30.0f;  // amplitude of the background noise
  uint32_t seed = 1;
};

// 16-bit samples at rate Hz: 120 ms of noise floor, the syllables, 120 ms of noise floor.
std::vector<int16_t> SpeechLike(uint32_t rate, const std::vector<Syllable>& syllables, const Voice& voice);

// The pitch that SpeechLike gives its vowels, one value per 10 ms step (rate / 100 samples) of the sound
// it makes with the same arguments: the vowel's pitch in Hz, rounded, at the middle sample of the step;
// 0 when that sample lies outside the vowels (fricatives, pauses, the noise floor at both ends).
std::vector<int16_t> SpeechLikeContour(uint32_t rate, const std::vector<Syllable>& syllables, const Voice& voice);

// The four-syllable phrase of the demo (about 1.4 s).
std::vector<Syllable> DemoPhrase();
// Another phrase of similar length with other vowels, pitch movements and fricatives.
std::vector<Syllable> OtherPhrase();

// A sine tone.
std::vector<int16_t> Tone(uint32_t rate, float hz, int ms, float amplitude);
// Uniform white noise of the given peak amplitude.
std::vector<int16_t> WhiteNoise(uint32_t rate, int ms, float amplitude, uint32_t seed);

// A 16-bit mono CWave holding samples.
std::unique_ptr<CWave> MakeWave16(const std::vector<int16_t>& samples, uint32_t rate);
// An unsigned 8-bit mono CWave (SampleKind::kUnsigned8) holding the upper byte of each sample.
std::unique_ptr<CWave> MakeWave8(const std::vector<int16_t>& samples, uint32_t rate);

}  // namespace melvox::samples

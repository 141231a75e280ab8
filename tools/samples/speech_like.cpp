#include "samples/speech_like.h"

#include <algorithm>
#include <cmath>

namespace melvox::samples {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// A small linear congruential generator: the same numbers on every machine.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1u) {}
  // Uniform in [-1, 1).
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
  }

 private:
  uint32_t state_;
};

int Scaled(int ms, const Voice& voice) { return static_cast<int>(std::lround(ms / voice.tempo)); }

size_t Samples(uint32_t rate, int ms) { return static_cast<size_t>(uint64_t{rate} * static_cast<uint32_t>(ms) / 1000); }

// Resonance gain of a formant at frequency f.
double Formant(double f, double centre, double bandwidth) {
  const double x = (f - centre) / bandwidth;
  return 1.0 / (1.0 + x * x);
}

// Linear fade of `ramp` samples at both ends of [begin, end).
double Envelope(size_t i, size_t length, size_t ramp) {
  if (i < ramp) return static_cast<double>(i) / ramp;
  if (length - i < ramp) return static_cast<double>(length - i) / ramp;
  return 1.0;
}

void AddVowel(std::vector<double>& out, uint32_t rate, const Syllable& s, const Voice& voice) {
  const size_t length = Samples(rate, Scaled(s.vowel_ms, voice));
  const size_t ramp = Samples(rate, 15);
  const double f1 = s.formant1_hz;
  const double f2 = s.formant2_hz;
  double phase = 0.0;
  for (size_t i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / length;
    const double f0 = (s.f0_start_hz + (s.f0_end_hz - s.f0_start_hz) * t) * voice.pitch_scale;
    phase += kTwoPi * f0 / rate;
    double value = 0.0;
    const int harmonics = std::min(40, static_cast<int>(std::min(4500.0, rate / 2.2) / f0));
    for (int k = 1; k <= harmonics; ++k) {
      const double f = k * f0;
      const double gain =
          (Formant(f, f1, 90.0) + 0.7 * Formant(f, f2, 120.0) + 0.25 * Formant(f, 2800.0, 200.0) + 0.04) / k;
      value += gain * std::sin(k * phase);
    }
    out.push_back(value * voice.amplitude * 0.8 * Envelope(i, length, ramp));
  }
}

void AddFricative(std::vector<double>& out, uint32_t rate, int ms, const Voice& voice, Random& random) {
  const size_t length = Samples(rate, ms);
  const size_t ramp = Samples(rate, 10);
  double previous = 0.0;
  for (size_t i = 0; i < length; ++i) {
    // First difference of white noise: a hiss with most of its energy high up, as in "s".
    const double white = random.Next();
    out.push_back((white - previous) * voice.amplitude * 0.18 * Envelope(i, length, ramp));
    previous = white;
  }
}

void AddSilence(std::vector<double>& out, uint32_t rate, int ms) { out.resize(out.size() + Samples(rate, ms), 0.0); }

}  // namespace

std::vector<int16_t> SpeechLike(uint32_t rate, const std::vector<Syllable>& syllables, const Voice& voice) {
  Random random(voice.seed);
  std::vector<double> mix;
  AddSilence(mix, rate, 120);
  for (const Syllable& s : syllables) {
    if (s.fricative_ms > 0) AddFricative(mix, rate, Scaled(s.fricative_ms, voice), voice, random);
    AddVowel(mix, rate, s, voice);
    AddSilence(mix, rate, Scaled(s.pause_after_ms, voice));
  }
  AddSilence(mix, rate, 120);
  std::vector<int16_t> samples(mix.size());
  for (size_t i = 0; i < mix.size(); ++i) {
    const double value = mix[i] + voice.noise_floor * random.Next();
    samples[i] = static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
  }
  return samples;
}

std::vector<int16_t> SpeechLikeContour(uint32_t rate, const std::vector<Syllable>& syllables, const Voice& voice) {
  struct Vowel {
    size_t start;
    size_t length;
    double f0_start;
    double f0_end;
  };
  std::vector<Vowel> vowels;
  size_t position = Samples(rate, 120);
  for (const Syllable& s : syllables) {
    if (s.fricative_ms > 0) position += Samples(rate, Scaled(s.fricative_ms, voice));
    const size_t length = Samples(rate, Scaled(s.vowel_ms, voice));
    vowels.push_back({position, length, s.f0_start_hz * voice.pitch_scale, s.f0_end_hz * voice.pitch_scale});
    position += length + Samples(rate, Scaled(s.pause_after_ms, voice));
  }
  position += Samples(rate, 120);

  const size_t step = rate / 100;
  std::vector<int16_t> contour(step > 0 ? position / step : 0, 0);
  for (size_t k = 0; k < contour.size(); ++k) {
    const size_t middle = k * step + step / 2;
    for (const Vowel& v : vowels) {
      if (middle < v.start || middle >= v.start + v.length) continue;
      const double t = static_cast<double>(middle - v.start) / v.length;
      contour[k] = static_cast<int16_t>(std::lround(v.f0_start + (v.f0_end - v.f0_start) * t));
    }
  }
  return contour;
}

std::vector<Syllable> DemoPhrase() {
  return {
      {90, 220, 118.0f, 136.0f, 750.0f, 1200.0f, 0},
      {0, 200, 136.0f, 124.0f, 450.0f, 800.0f, 70},
      {0, 180, 124.0f, 142.0f, 300.0f, 2200.0f, 0},
      {80, 260, 132.0f, 96.0f, 700.0f, 1150.0f, 0},
  };
}

std::vector<Syllable> OtherPhrase() {
  return {
      {0, 160, 150.0f, 110.0f, 300.0f, 2300.0f, 90},
      {110, 240, 105.0f, 105.0f, 500.0f, 900.0f, 0},
      {60, 150, 100.0f, 150.0f, 650.0f, 1700.0f, 120},
      {0, 240, 145.0f, 140.0f, 350.0f, 750.0f, 0},
  };
}

std::vector<int16_t> Tone(uint32_t rate, float hz, int ms, float amplitude) {
  std::vector<int16_t> samples(Samples(rate, ms));
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(kTwoPi * hz * static_cast<double>(i) / rate)));
  }
  return samples;
}

std::vector<int16_t> WhiteNoise(uint32_t rate, int ms, float amplitude, uint32_t seed) {
  Random random(seed);
  std::vector<int16_t> samples(Samples(rate, ms));
  for (int16_t& sample : samples) sample = static_cast<int16_t>(std::lround(amplitude * random.Next()));
  return samples;
}

std::unique_ptr<CWave> MakeWave16(const std::vector<int16_t>& samples, uint32_t rate) {
  auto wave =
      std::make_unique<CWave>(MakePcmFormat(1, rate, 16), static_cast<uint32_t>(samples.size() * 2), samples.data());
  wave->SetKind(SampleKind::kSigned);
  return wave;
}

std::unique_ptr<CWave> MakeWave8(const std::vector<int16_t>& samples, uint32_t rate) {
  std::vector<uint8_t> bytes(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) bytes[i] = static_cast<uint8_t>((samples[i] >> 8) + 128);
  auto wave = std::make_unique<CWave>(MakePcmFormat(1, rate, 8), static_cast<uint32_t>(bytes.size()), bytes.data());
  wave->SetKind(SampleKind::kUnsigned8);
  return wave;
}

}  // namespace melvox::samples

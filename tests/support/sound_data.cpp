#include "support/sound_data.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "sound/file_reader.h"
#include "sound/open_sound_file.h"

namespace melvox::testing {

std::vector<int16_t> Samples16(const CWave& wave) {
  std::vector<int16_t> samples(size_t{wave.SampleCount()} * wave.Format().nChannels);
  std::memcpy(samples.data(), wave.Data(), samples.size() * 2);
  return samples;
}

std::vector<int16_t> ReadAll16(CSoundSource& source) {
  source.Rewind();
  std::vector<int16_t> out;
  int16_t buffer[1024];
  for (;;) {
    uint32_t frames = 1024;
    if (!source.Read(buffer, sizeof buffer, frames) || frames == 0) break;
    out.insert(out.end(), buffer, buffer + frames);
  }
  return out;
}

CountedPtr<CSoundSource> OpenBytes(const Bytes& bytes) {
  return OpenSoundFile(std::make_unique<CMemoryFileReader>(bytes));
}

std::vector<int16_t> Harmonic(double period, int count, size_t length, double amplitude, size_t onset) {
  constexpr double kTwoPi = 6.283185307179586;
  std::vector<int16_t> samples(length, 0);
  for (size_t n = onset; n < length; ++n) {
    const double phase = std::fmod(static_cast<double>(n - onset), period) / period;
    double value = 0.0;
    for (int k = 1; k <= count; ++k) value += std::sin(kTwoPi * k * phase) / k;
    samples[n] = static_cast<int16_t>(std::lround(amplitude * value));
  }
  return samples;
}

}  // namespace melvox::testing

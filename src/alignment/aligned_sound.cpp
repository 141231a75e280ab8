#include "alignment/aligned_sound.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "analysis/endpoint_detector.h"
#include "analysis/mono_wave.h"

namespace melvox {

std::unique_ptr<CWave> LevelNormalizedCopy(const CWave& wave) {
  // 16-bit samples of one channel: a 16-bit mono wave is read as it is, any other through MonoCopy.
  std::unique_ptr<CWave> mono;
  const CWave* source = &wave;
  if (wave.Format().nChannels > 1 || wave.Format().wBitsPerSample != 16) {
    mono = MonoCopy(wave, ByteSamples::kSigned);
    source = mono.get();
  }
  const bool eight_bit = source->Format().wBitsPerSample == 8;
  const uint32_t count = std::min(source->SampleCount(), source->Size() / source->BytesPerSample());
  std::vector<int16_t> samples(count);
  if (eight_bit) {
    for (uint32_t i = 0; i < count; ++i)
      samples[i] = static_cast<int16_t>(static_cast<int8_t>(source->Data()[i]) * 256);
  } else if (count > 0) {
    std::memcpy(samples.data(), source->Data(), size_t{count} * 2);
  }
  // The robust peak from a histogram of the magnitudes.
  std::vector<uint32_t> histogram(32769, 0);
  for (int16_t sample : samples) ++histogram[static_cast<size_t>(std::abs(int32_t{sample}))];
  const uint64_t wanted = uint64_t{count} * 995 / 1000;
  uint64_t seen = 0;
  int32_t peak = 0;
  while (peak < 32768 && seen + histogram[static_cast<size_t>(peak)] <= wanted)
    seen += histogram[static_cast<size_t>(peak++)];
  if (peak > 0 && count > 0) {
    const float gain = std::clamp(kAlignedPeak / static_cast<float>(peak), 1.0f, kMaxAlignedGain);
    if (gain > 1.0f) {
      // sample x q16 / 65536, rounded, with q16 = whole x 65536 + part: sample x whole plus the
      // rounded sample x part / 65536, which fits 32 bits (and so vectorises).
      const auto q16 = static_cast<int32_t>(gain * 65536.0f);  // truncated: the gain in 1/65536
      const int32_t whole = q16 >> 16;
      const int32_t part = q16 & 0xffff;
      for (int16_t& sample : samples) {
        const int32_t scaled = sample * whole + ((sample * part + 32768) >> 16);
        sample = static_cast<int16_t>(std::clamp(scaled, -32768, 32767));
      }
    }
  }
  auto copy = std::make_unique<CWave>(MakePcmFormat(1, source->Format().nSamplesPerSec, 16),
                                      static_cast<uint32_t>(samples.size() * 2), samples.data());
  copy->SetKind(SampleKind::kSigned);
  return copy;
}

CAlignedSound::CAlignedSound(const CWave& wave, bool detect_endpoints) : wave_(LevelNormalizedCopy(wave)) {
  if (detect_endpoints) DetectEndpoints(*wave_);
  analysis_ = std::make_unique<CSoundAnalysis>(wave_.get(), 0);
}

}  // namespace melvox

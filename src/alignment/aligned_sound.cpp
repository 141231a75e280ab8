#include "alignment/aligned_sound.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "analysis/endpoint_detector.h"
#include "analysis/mono_wave.h"

namespace melvox {

std::unique_ptr<CWave> LevelNormalizedCopy(const CWave& wave) {
  const std::unique_ptr<CWave> mono = MonoCopy(wave, ByteSamples::kSigned);
  const bool eight_bit = mono->Format().wBitsPerSample == 8;
  const uint32_t count = std::min(mono->SampleCount(), mono->Size() / mono->BytesPerSample());
  std::vector<int16_t> samples(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (eight_bit) {
      samples[i] = static_cast<int16_t>(static_cast<int8_t>(mono->Data()[i]) * 256);
    } else {
      std::memcpy(&samples[i], mono->Data() + size_t{i} * 2, sizeof(int16_t));
    }
  }
  std::vector<int32_t> magnitudes(samples.begin(), samples.end());
  for (int32_t& m : magnitudes) m = std::abs(m);
  float gain = 1.0f;
  if (!magnitudes.empty()) {
    const size_t at = magnitudes.size() * 995 / 1000;
    std::nth_element(magnitudes.begin(), magnitudes.begin() + at, magnitudes.end());
    if (magnitudes[at] > 0) {
      gain = std::clamp(kAlignedPeak / static_cast<float>(magnitudes[at]), 1.0f, kMaxAlignedGain);
    }
  }
  for (int16_t& s : samples) {
    s = static_cast<int16_t>(std::clamp(std::lround(static_cast<float>(s) * gain), -32768L, 32767L));
  }
  auto copy = std::make_unique<CWave>(MakePcmFormat(1, mono->Format().nSamplesPerSec, 16),
                                      static_cast<uint32_t>(samples.size() * 2), samples.data());
  copy->SetKind(SampleKind::kSigned);
  return copy;
}

CAlignedSound::CAlignedSound(const CWave& wave, bool detect_endpoints) : wave_(LevelNormalizedCopy(wave)) {
  if (detect_endpoints) DetectEndpoints(*wave_);
  analysis_ = std::make_unique<CSoundAnalysis>(wave_.get(), 0);
}

}  // namespace melvox

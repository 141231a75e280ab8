#include "analysis/mono_wave.h"

#include <algorithm>
#include <cstring>

#include "analysis/frame_features.h"

namespace melvox {

std::unique_ptr<CWave> MonoCopy(const CWave& wave, ByteSamples bytes) {
  const WAVEFORMATEX& format = wave.Format();
  const uint32_t channels = std::max<uint32_t>(format.nChannels, 1);
  const uint32_t frames = UsableSampleCount(wave);
  const bool eight_bit = format.wBitsPerSample == 8;
  const bool signed_bytes = wave.Kind() == SampleKind::kSigned;
  const bool signed_out = signed_bytes || (eight_bit && bytes == ByteSamples::kSigned);
  auto mono = std::make_unique<CWave>(MakePcmFormat(1, format.nSamplesPerSec, eight_bit ? 8 : 16),
                                      frames * wave.BytesPerSample(), nullptr);
  uint8_t* out = mono->Data();
  for (uint32_t frame = 0; frame < frames && out != nullptr; ++frame) {
    int64_t sum = 0;
    for (uint32_t channel = 0; channel < channels; ++channel) {
      const size_t index = size_t{frame} * channels + channel;
      if (eight_bit) {
        const uint8_t byte = wave.Data()[index];
        sum += signed_bytes ? int32_t{static_cast<int8_t>(byte)} : int32_t{byte} - 128;
      } else {
        int16_t sample;
        std::memcpy(&sample, wave.Data() + index * 2, sizeof sample);
        sum += sample;
      }
    }
    const auto mean = static_cast<int32_t>(sum / channels);
    if (eight_bit) {
      out[frame] = static_cast<uint8_t>(signed_out ? mean : mean + 128);
    } else {
      const auto sample = static_cast<int16_t>(mean);
      std::memcpy(out + size_t{frame} * 2, &sample, sizeof sample);
    }
  }
  mono->SetSampleCount(out != nullptr ? frames : 0);
  mono->SetSelection(wave.SelectionStart(), wave.SelectionEnd());
  mono->SetKind(eight_bit && signed_out ? SampleKind::kSigned : wave.Kind());
  return mono;
}

}  // namespace melvox

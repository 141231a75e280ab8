#include "platform/null_wave_in.h"

#include <utility>

#include "platform/clocked_wave_in.h"

namespace melvox::platform {
namespace {

// 10 ms of 22050 Hz 16-bit mono, about what a sound server hands over at once.
constexpr uint32_t kChunkBytes = 442;

class NullWaveInSystem final : public WaveInSystem {
 public:
  MMRESULT Open(const WAVEFORMATEX& format, WaveInCallback callback, std::unique_ptr<WaveIn>& device) override {
    device.reset();
    if (!IsPlayableFormat(format)) return WAVERR_BADFORMAT;
    device = std::make_unique<ClockedWaveIn>(format, std::move(callback), 1.0, kChunkBytes, nullptr);
    return MMSYSERR_NOERROR;
  }
  const char* Name() const override { return "null"; }
};

}  // namespace

std::shared_ptr<WaveInSystem> MakeNullWaveIn() { return std::make_shared<NullWaveInSystem>(); }

}  // namespace melvox::platform

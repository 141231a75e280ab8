#include "platform/null_wave_out.h"

#include <utility>

#include "platform/clocked_wave_out.h"

namespace melvox::platform {
namespace {

class NullWaveOutSystem final : public WaveOutSystem {
 public:
  MMRESULT Open(const WAVEFORMATEX& format, WaveOutCallback callback, std::unique_ptr<WaveOut>& device) override {
    device.reset();
    if (!IsPlayableFormat(format)) return WAVERR_BADFORMAT;
    device = std::make_unique<ClockedWaveOut>(format, std::move(callback), 1.0, nullptr);
    return MMSYSERR_NOERROR;
  }
  const char* Name() const override { return "null"; }
};

}  // namespace

std::shared_ptr<WaveOutSystem> MakeNullWaveOut() { return std::make_shared<NullWaveOutSystem>(); }

}  // namespace melvox::platform

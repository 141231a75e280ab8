#include "platform/wave_in.h"

#include <mutex>
#include <utility>

#include "platform/pulse_wave_in.h"

namespace melvox::platform {
namespace {

struct Selection {
  std::mutex mutex;
  std::shared_ptr<WaveInSystem> system;
};

Selection& Selected() {
  static Selection selection;
  return selection;
}

// What the automatic choice gives while no sound server answers: a device that does not open.
class NoServerWaveIn final : public WaveInSystem {
 public:
  MMRESULT Open(const WAVEFORMATEX&, WaveInCallback, std::unique_ptr<WaveIn>& device) override {
    device.reset();
    return MMSYSERR_NODRIVER;
  }
  const char* Name() const override { return "none"; }
};

}  // namespace

std::string WaveInSystem::ErrorText(MMRESULT result) const { return WaveErrorText(result); }

std::shared_ptr<WaveInSystem> CurrentWaveInSystem() {
  Selection& selected = Selected();
  std::lock_guard<std::mutex> lock(selected.mutex);
  if (selected.system == nullptr) selected.system = MakePulseAudioWaveIn();
  // Not kept: the next open asks for a server again. The null device is only ever chosen explicitly.
  if (selected.system == nullptr) return std::make_shared<NoServerWaveIn>();
  return selected.system;
}

void SetWaveInSystem(std::shared_ptr<WaveInSystem> system) {
  Selection& selected = Selected();
  std::lock_guard<std::mutex> lock(selected.mutex);
  selected.system = std::move(system);
}

}  // namespace melvox::platform

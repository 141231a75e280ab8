#include "platform/wave_in.h"

#include <mutex>
#include <utility>

#include "platform/null_wave_in.h"
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

}  // namespace

std::string WaveInSystem::ErrorText(MMRESULT result) const { return WaveErrorText(result); }

std::shared_ptr<WaveInSystem> CurrentWaveInSystem() {
  Selection& selected = Selected();
  std::lock_guard<std::mutex> lock(selected.mutex);
  if (selected.system == nullptr) selected.system = MakePulseAudioWaveIn();
  if (selected.system == nullptr) selected.system = MakeNullWaveIn();
  return selected.system;
}

void SetWaveInSystem(std::shared_ptr<WaveInSystem> system) {
  Selection& selected = Selected();
  std::lock_guard<std::mutex> lock(selected.mutex);
  selected.system = std::move(system);
}

}  // namespace melvox::platform

#include "platform/wave_backend.h"

#include <memory>
#include <mutex>
#include <utility>

#include "platform/null_wave_in.h"
#include "platform/null_wave_out.h"
#include "platform/pulse_wave_in.h"
#include "platform/pulse_wave_out.h"
#include "platform/test_wave_in.h"
#include "platform/test_wave_out.h"
#include "platform/wave_in.h"

namespace melvox::platform {
namespace {

// What the automatic choice gives while no sound server answers: a device that does not open.
template <typename System, typename Device>
class NoServer final : public System {
 public:
  MMRESULT Open(const WAVEFORMATEX&, std::function<void(uint32_t, WAVEHDR*)>,
                std::unique_ptr<Device>& device) override {
    device.reset();
    return MMSYSERR_NODRIVER;
  }
  const char* Name() const override { return "none"; }
};

// The system in use for one direction; null while the automatic choice has found no server.
template <typename System>
struct Selection {
  std::mutex mutex;  // guards system
  std::shared_ptr<System> system;

  static Selection& Of() {
    static Selection selection;
    return selection;
  }
};

// The system put in use, else the PulseAudio one that make_pulse makes when a server answers (then
// kept), else one that does not open (not kept: the next call asks for a server again). The null
// device is only ever put in use explicitly.
template <typename System, typename Device>
std::shared_ptr<System> Current(std::shared_ptr<System> (*make_pulse)()) {
  Selection<System>& selected = Selection<System>::Of();
  std::lock_guard<std::mutex> lock(selected.mutex);
  if (selected.system == nullptr) selected.system = make_pulse();
  if (selected.system == nullptr) return std::make_shared<NoServer<System, Device>>();
  return selected.system;
}

template <typename System>
void Use(std::shared_ptr<System> system) {
  Selection<System>& selected = Selection<System>::Of();
  std::lock_guard<std::mutex> lock(selected.mutex);
  selected.system = std::move(system);
}

}  // namespace

std::shared_ptr<WaveOutSystem> CurrentWaveOutSystem() {
  return Current<WaveOutSystem, WaveOut>(&MakePulseAudioWaveOut);
}

void SetWaveOutSystem(std::shared_ptr<WaveOutSystem> system) { Use(std::move(system)); }

std::shared_ptr<WaveInSystem> CurrentWaveInSystem() { return Current<WaveInSystem, WaveIn>(&MakePulseAudioWaveIn); }

void SetWaveInSystem(std::shared_ptr<WaveInSystem> system) { Use(std::move(system)); }

MMRESULT UseWaveBackend(const std::string& name) {
  std::shared_ptr<WaveOutSystem> output;
  std::shared_ptr<WaveInSystem> input;
  if (name == "pulse") {
    output = MakePulseAudioWaveOut();
    input = MakePulseAudioWaveIn();
    if (output == nullptr || input == nullptr) return MMSYSERR_NODRIVER;
  } else if (name == "null") {
    output = MakeNullWaveOut();
    input = MakeNullWaveIn();
  } else if (name == "test") {
    output = TestWaveOutSystem::Make(1.0);
    input = TestWaveInSystem::Make(1.0);
  } else {
    return MMSYSERR_BADDEVICEID;
  }
  SetWaveOutSystem(std::move(output));
  SetWaveInSystem(std::move(input));
  return MMSYSERR_NOERROR;
}

}  // namespace melvox::platform

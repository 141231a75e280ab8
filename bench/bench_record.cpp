// The recorder on the test device and on a PulseAudio server (when one answers; run under
// scripts/with-pulse):
//   BM_LevelLatency  time from a sound at the input to its level at a recorder listener. Test device
//                    (argument 0, real time): the input steps from silence to a loud tone at a
//                    scripted sample, whose due time the device knows. PulseAudio (argument 1): a
//                    click is written to the output device, whose sink's monitor is the recorder's
//                    input, so the figure also holds the output's latency (about 30 ms).
//   BM_RecordCpu     CPU time per second of recording: of the recording engine's worker thread
//                    (worker_cpu_ms_per_s) and of the whole process while it records, the device's own
//                    threads included (process_cpu_ms_per_s). Null device (argument 0) or PulseAudio (1).
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "audio/recording_engine.h"
#include "audio/sound_recorder.h"
#include "platform/event.h"
#include "platform/null_wave_in.h"
#include "platform/pulse_wave_in.h"
#include "platform/pulse_wave_out.h"
#include "platform/test_wave_in.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"

namespace melvox {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kRate = 22050;
// Silence and the tone of the step lie far apart: 0 against a peak of 20000.
constexpr int32_t kLoud = 10000;

double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Notes when the first loud level arrives.
class StepListener final : public IRecorderListener {
 public:
  void OnLevel(int32_t value) override {
    if (value >= kLoud && !heard_.exchange(true)) {
      at_ = Clock::now();
      event_.Set();
    }
  }
  bool Wait(int64_t ms) { return event_.Wait(ms); }
  Clock::time_point At() const { return at_; }  // read after Wait succeeded
  void Reset() {
    heard_.store(false);
    event_.Reset();
  }

 private:
  std::atomic<bool> heard_{false};
  Clock::time_point at_;
  platform::Event event_{platform::EventMode::kManualReset};
};

// The step's delay on the test device: silence, then a loud tone from `step` samples on.
double TestDeviceDelay(CSoundRecorder& recorder, StepListener& listener,
                       const std::shared_ptr<platform::TestWaveInSystem>& device, uint32_t step) {
  recorder.Start();
  if (!listener.Wait(5000)) return -1.0;
  const Clock::time_point due = device->LastStartedAt() + std::chrono::microseconds(uint64_t{step} * 1000000 / kRate);
  recorder.Stop();
  return std::chrono::duration<double>(listener.At() - due).count();
}

// The click's delay through a PulseAudio sink and its monitor, from the moment it was written.
double PulseDelay(CSoundRecorder& recorder, StepListener& listener, platform::WaveOut& output, WAVEHDR& click) {
  recorder.Start();
  // Let the recording settle on silence first.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  listener.Reset();
  output.Prepare(&click);
  const Clock::time_point written = Clock::now();
  if (output.Write(&click) != MMSYSERR_NOERROR || !listener.Wait(5000)) {
    recorder.Stop();
    return -1.0;
  }
  recorder.Stop();
  output.Reset();
  output.Unprepare(&click);
  return std::chrono::duration<double>(listener.At() - written).count();
}

void BM_LevelLatency(benchmark::State& state) {
  const bool pulse = state.range(0) == 1;
  std::shared_ptr<platform::TestWaveInSystem> test_device;
  std::shared_ptr<platform::WaveInSystem> input;
  std::shared_ptr<platform::WaveOutSystem> output_system;
  if (pulse) {
    input = platform::MakePulseAudioWaveIn();
    output_system = platform::MakePulseAudioWaveOut();
    if (input == nullptr || output_system == nullptr) {
      state.SkipWithError("no PulseAudio server answers");
      return;
    }
  } else {
    test_device = platform::TestWaveInSystem::Make(1.0);
    input = test_device;
  }
  platform::SetWaveInSystem(input);
  state.SetLabel(input->Name());

  const std::vector<int16_t> tone = samples::Tone(kRate, 1000.0f, 50, 20000.0f);
  std::unique_ptr<platform::WaveOut> output;
  std::vector<char> click_bytes(tone.size() * 2);
  std::memcpy(click_bytes.data(), tone.data(), click_bytes.size());
  WAVEHDR click;
  click.lpData = click_bytes.data();
  click.dwBufferLength = static_cast<uint32_t>(click_bytes.size());
  if (pulse && output_system->Open(RecordingFormat(), nullptr, output) != MMSYSERR_NOERROR) {
    state.SkipWithError("the output device does not open");
    return;
  }
  // The step comes 0.3 s in, moved on by 331 samples each time, so that over the iterations it falls
  // at every point of the three buffers a level covers (1536 samples).
  auto script_step = [&](int iteration) {
    const uint32_t step = kRate * 3 / 10 + static_cast<uint32_t>(iteration) * 331 % 1536;
    std::vector<int16_t> script(step, 0);
    script.insert(script.end(), tone.begin(), tone.end());
    test_device->Script(script);
    return step;
  };

  CSoundRecorder recorder;
  StepListener listener;
  recorder.AddListener(&listener);
  double total_ms = 0.0;
  int iteration = 0;
  for (auto _ : state) {
    listener.Reset();
    const double seconds = pulse ? PulseDelay(recorder, listener, *output, click)
                                 : TestDeviceDelay(recorder, listener, test_device, script_step(iteration++));
    if (seconds < 0.0) {
      state.SkipWithError("the step never reached the listener");
      break;
    }
    state.SetIterationTime(seconds);
    total_ms += seconds * 1e3;
  }
  state.counters["delay_ms"] = total_ms / static_cast<double>(state.iterations());
  recorder.RemoveListener(&listener);
  if (output != nullptr) output->Close();
  platform::SetWaveInSystem(nullptr);
}
BENCHMARK(BM_LevelLatency)->Arg(0)->Arg(1)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// Reads the worker thread's CPU clock at every level report (on that thread).
class CpuOwner final : public IRecordingOwner {
 public:
  void OnLevel(int32_t) override { cpu_seconds.store(CpuSeconds(CLOCK_THREAD_CPUTIME_ID)); }
  std::atomic<double> cpu_seconds{0.0};
};

void BM_RecordCpu(benchmark::State& state) {
  std::shared_ptr<platform::WaveInSystem> input =
      state.range(0) == 1 ? platform::MakePulseAudioWaveIn() : platform::MakeNullWaveIn();
  if (input == nullptr) {
    state.SkipWithError("no PulseAudio server answers");
    return;
  }
  platform::SetWaveInSystem(input);
  state.SetLabel(input->Name());
  constexpr int kSeconds = 3;
  testing::TempDir folder;
  const std::string path = folder.File("cpu.wav");
  CpuOwner owner;
  CRecordingEngine engine;
  engine.SetOwner(&owner);
  double worker = 0.0;
  double process = 0.0;
  double recorded = 0.0;
  for (auto _ : state) {
    const double process_before = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    engine.Start(path.c_str());
    std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
    engine.Stop();
    process += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process_before;
    worker += owner.cpu_seconds.load();
    recorded += static_cast<double>(engine.DataBytes()) / RecordingFormat().nAvgBytesPerSec;
  }
  state.counters["worker_cpu_ms_per_s"] = worker / recorded * 1e3;
  state.counters["process_cpu_ms_per_s"] = process / recorded * 1e3;
  platform::SetWaveInSystem(nullptr);
}
BENCHMARK(BM_RecordCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace melvox

// The input devices show no message boxes, and the benchmark's output device is driven directly.
BENCHMARK_MAIN();

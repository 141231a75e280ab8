// The playback engine on the test device and on a PulseAudio server (when one answers; run under
// scripts/with-pulse):
//   BM_StartLatency   time from Play to the first frames handed to the device (handoff_ms) and to the
//                     first buffer the device reports consumed (first_done_ms);
//   BM_PlayerStartLatency  the same from the player's PlayOriginal, which also opens the WAV file
//                     again (the previous Stop released it);
//   BM_EngineCpu      CPU time of the engine's worker thread per second of sound played;
//   BM_PositionError  reported positions against the device's own count of consumed frames (test
//                     device) or against the wall clock since Play (PulseAudio), and the last
//                     reported position against the frames played (end_error_frames).
#include <time.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <benchmark/benchmark.h>

#include "audio/playback_engine.h"
#include "audio/sound_player.h"
#include "platform/event.h"
#include "platform/message_box.h"
#include "platform/pulse_wave_out.h"
#include "platform/test_wave_out.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kRate = 22050;

// Wraps a backend to time the first write and the first done buffer of each device it opens.
class TimingWaveOut final : public platform::WaveOutSystem {
 public:
  explicit TimingWaveOut(std::shared_ptr<platform::WaveOutSystem> inner) : inner_(std::move(inner)) {}

  MMRESULT Open(const WAVEFORMATEX& format, platform::WaveOutCallback callback,
                std::unique_ptr<platform::WaveOut>& device) override {
    auto timed = [this, callback](uint32_t message, WAVEHDR* header) {
      if (message == WOM_DONE) Mark(first_done_);
      callback(message, header);
    };
    std::unique_ptr<platform::WaveOut> inner_device;
    const MMRESULT result = inner_->Open(format, timed, inner_device);
    if (result == MMSYSERR_NOERROR) device = std::make_unique<Device>(std::move(inner_device), *this);
    return result;
  }
  std::string ErrorText(MMRESULT result) const override { return inner_->ErrorText(result); }
  const char* Name() const override { return inner_->Name(); }

  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    first_write_.reset();
    first_done_.reset();
  }
  std::optional<Clock::time_point> FirstWrite() {
    std::lock_guard<std::mutex> lock(mutex_);
    return first_write_;
  }
  std::optional<Clock::time_point> FirstDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    return first_done_;
  }

 private:
  class Device final : public platform::WaveOut {
   public:
    Device(std::unique_ptr<platform::WaveOut> inner, TimingWaveOut& owner) : inner_(std::move(inner)), owner_(owner) {}
    MMRESULT Prepare(WAVEHDR* h) override { return inner_->Prepare(h); }
    MMRESULT Unprepare(WAVEHDR* h) override { return inner_->Unprepare(h); }
    MMRESULT Write(WAVEHDR* h) override {
      const MMRESULT result = inner_->Write(h);
      if (result == MMSYSERR_NOERROR) owner_.Mark(owner_.first_write_);
      return result;
    }
    MMRESULT Pause() override { return inner_->Pause(); }
    MMRESULT Restart() override { return inner_->Restart(); }
    MMRESULT Reset() override { return inner_->Reset(); }
    MMRESULT GetPosition(uint32_t& samples) override { return inner_->GetPosition(samples); }
    MMRESULT Close() override { return inner_->Close(); }

   private:
    std::unique_ptr<platform::WaveOut> inner_;
    TimingWaveOut& owner_;
  };

  void Mark(std::optional<Clock::time_point>& when) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!when) when = Clock::now();
  }

  std::shared_ptr<platform::WaveOutSystem> inner_;
  std::mutex mutex_;
  std::optional<Clock::time_point> first_write_;
  std::optional<Clock::time_point> first_done_;
};

// Tells the waiting benchmark of the natural end, with the worker thread's CPU time at that moment.
class EndWatcher : public IPlaybackOwner {
 public:
  void OnPlaybackEnded() override {
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    cpu_seconds = static_cast<double>(cpu.tv_sec) + cpu.tv_nsec * 1e-9;
    ended.Set();
  }
  platform::Event ended{platform::EventMode::kAutoReset};
  double cpu_seconds = 0.0;  // written before ended is set
};

// Between engine and source: compares every reported position with what a probe says at that moment.
class PositionProbe : public CSoundNode {
 public:
  PositionProbe(CSoundNode* source, std::function<int64_t()> probe) : CSoundNode(source), probe_(std::move(probe)) {}
  void SetPosition(int32_t frame) override {
    const int64_t difference = probe_() - frame;
    sum_ += std::fabs(static_cast<double>(difference));
    max_ = std::max<int64_t>(max_, std::abs(difference));
    ++count_;
    last_ = frame;
    CSoundNode::SetPosition(frame);
  }
  double MeanAbs() const { return count_ > 0 ? sum_ / count_ : 0.0; }
  int64_t MaxAbs() const { return max_; }
  int32_t Last() const { return last_; }

 private:
  std::function<int64_t()> probe_;
  double sum_ = 0.0;
  int64_t max_ = 0;
  int64_t count_ = 0;
  int32_t last_ = 0;
};

std::vector<int16_t> SpeechSamples(int seconds) {
  std::vector<int16_t> samples;
  while (samples.size() < static_cast<size_t>(kRate) * seconds) {
    const std::vector<int16_t> phrase = samples::SpeechLike(kRate, samples::DemoPhrase(), samples::Voice{});
    samples.insert(samples.end(), phrase.begin(), phrase.end());
  }
  samples.resize(static_cast<size_t>(kRate) * seconds);
  return samples;
}

CountedPtr<CSoundSource> Speech(int seconds) {
  return MakeMemorySource(samples::MakeWave16(SpeechSamples(seconds), kRate));
}

// Puts the backend of the benchmark's argument in use (0: the test device at real time, 1:
// PulseAudio) and labels the row with it; null, with the benchmark skipped, when no server answers.
std::shared_ptr<platform::WaveOutSystem> UseBackend(benchmark::State& state) {
  std::shared_ptr<platform::WaveOutSystem> backend;
  if (state.range(0) == 0) {
    backend = platform::TestWaveOutSystem::Make(1.0);
  } else {
    backend = platform::MakePulseAudioWaveOut();
  }
  if (backend == nullptr) {
    state.SkipWithError("no PulseAudio server answers");
    return nullptr;
  }
  platform::SetWaveOutSystem(backend);
  state.SetLabel(backend->Name());
  return backend;
}

// One start as BM_StartLatency and BM_PlayerStartLatency time it: play asks for playback, the
// timing backend marks the first write and the first done buffer, stop ends it.
template <typename Play, typename Stop>
void TimeStarts(benchmark::State& state, TimingWaveOut& timing, Play play, Stop stop) {
  double handoff = 0.0;
  double first_done = 0.0;
  for (auto _ : state) {
    timing.Clear();
    const auto start = Clock::now();
    play();
    std::optional<Clock::time_point> done;
    while (!(done = timing.FirstDone())) platform::Sleep(1);
    const double seconds = std::chrono::duration<double>(*timing.FirstWrite() - start).count();
    state.SetIterationTime(seconds);
    handoff += seconds * 1e3;
    first_done += std::chrono::duration<double, std::milli>(*done - start).count();
    stop();
  }
  state.counters["handoff_ms"] = handoff / static_cast<double>(state.iterations());
  state.counters["first_done_ms"] = first_done / static_cast<double>(state.iterations());
  platform::SetWaveOutSystem(nullptr);
}

void BM_StartLatency(benchmark::State& state) {
  auto backend = UseBackend(state);
  if (backend == nullptr) return;
  auto timing = std::make_shared<TimingWaveOut>(backend);
  platform::SetWaveOutSystem(timing);
  CountedPtr<CSoundSource> source = Speech(1);
  CPlaybackEngine engine;
  engine.SetInput(source.Get());
  TimeStarts(
      state, *timing, [&] { engine.Play(0, kRate); }, [&] { engine.Stop(); });
}
BENCHMARK(BM_StartLatency)->Arg(0)->Arg(1)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_PlayerStartLatency(benchmark::State& state) {
  auto backend = UseBackend(state);
  if (backend == nullptr) return;
  auto timing = std::make_shared<TimingWaveOut>(backend);
  platform::SetWaveOutSystem(timing);
  testing::TempDir folder;
  const std::string path = folder.Write("speech.wav", testing::PcmWav16(SpeechSamples(1), kRate));
  CSoundPlayer player;
  player.Load(path.c_str(), 0);
  player.Stop();
  TimeStarts(
      state, *timing, [&] { player.PlayOriginal(); }, [&] { player.Stop(); });
}
BENCHMARK(BM_PlayerStartLatency)->Arg(0)->Arg(1)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_EngineCpu(benchmark::State& state) {
  if (UseBackend(state) == nullptr) return;
  constexpr int kSeconds = 2;
  CountedPtr<CSoundSource> source = Speech(kSeconds);
  CPlaybackEngine engine;
  EndWatcher watcher;
  engine.SetOwner(&watcher);
  engine.SetInput(source.Get());
  double cpu = 0.0;
  for (auto _ : state) {
    engine.Play(0, kRate * kSeconds);
    watcher.ended.Wait(platform::kWaitInfinite);
    cpu += watcher.cpu_seconds;
    engine.Stop();
  }
  const double per_second = cpu / static_cast<double>(state.iterations()) / kSeconds;
  state.counters["cpu_ms_per_s"] = per_second * 1e3;
  state.counters["cpu_percent"] = per_second * 100.0;
  platform::SetWaveOutSystem(nullptr);
}
BENCHMARK(BM_EngineCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PositionError(benchmark::State& state) {
  auto backend = UseBackend(state);
  if (backend == nullptr) return;
  const auto test_device = std::dynamic_pointer_cast<platform::TestWaveOutSystem>(backend);
  const bool pulse = test_device == nullptr;
  constexpr int kSeconds = 2;
  CountedPtr<CSoundSource> source = Speech(kSeconds);
  // The test device's own count of consumed frames. A PulseAudio stream's read index cannot be asked
  // from outside, so there the reference is the wall clock since Play: the difference is how far the
  // reported position trails real time (start-up plus the sink's latency).
  Clock::time_point started;
  auto probe = [&]() -> int64_t {
    if (test_device != nullptr) return static_cast<int64_t>(test_device->FramesConsumedByLast());
    return static_cast<int64_t>(std::chrono::duration<double>(Clock::now() - started).count() * kRate);
  };
  double mean = 0.0;
  int64_t max = 0;
  double end_error = 0.0;
  for (auto _ : state) {
    PositionProbe node(source.Get(), probe);
    CPlaybackEngine engine;
    EndWatcher watcher;
    engine.SetOwner(&watcher);
    engine.SetInput(&node);
    started = Clock::now();
    engine.Play(0, kRate * kSeconds);
    watcher.ended.Wait(platform::kWaitInfinite);
    engine.Stop();
    mean += node.MeanAbs();
    max = std::max(max, node.MaxAbs());
    end_error += std::abs(static_cast<double>(kRate * kSeconds) - node.Last());
  }
  const auto n = static_cast<double>(state.iterations());
  if (pulse) {
    state.counters["mean_lag_behind_clock_ms"] = mean / n * 1000.0 / kRate;
  } else {
    state.counters["mean_abs_frames"] = mean / n;
    state.counters["max_abs_frames"] = static_cast<double>(max);
  }
  state.counters["end_error_frames"] = end_error / n;
  platform::SetWaveOutSystem(nullptr);
}
BENCHMARK(BM_PositionError)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace melvox

int main(int argc, char** argv) {
  // Device errors would otherwise go to standard error in the middle of the table.
  melvox::platform::SetMessageBoxHandler(
      [](const std::string& text, const std::string&) { std::fprintf(stderr, "device error: %s\n", text.c_str()); });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

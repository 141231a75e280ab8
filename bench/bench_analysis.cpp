// Analysis throughput: audio seconds analysed per wall-clock second (audio_s_per_s), one thread, on a minute of
// speech-like signal at 8000, 22050 and 44100 Hz; and the time of one power-spectrum transform.
//
//   bench_analysis --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//   bench_analysis --write-wav PATH [RATE]   writes the benchmark's minute of audio (for peers)
#include <map>
#include <vector>

#include <benchmark/benchmark.h>

#include "analysis/power_fft.h"
#include "analysis/sound_analysis.h"
#include "samples/speech_like.h"
#include "spectral/spectral_analysis.h"
#include "wav_or_bench_main.h"

namespace {

using namespace melvox;

constexpr int kSeconds = 60;

// Both phrases, alternating with small changes of voice, until a minute is filled.
std::vector<int16_t> MinuteOfSpeech(uint32_t rate) {
  std::vector<int16_t> samples;
  const size_t wanted = size_t{rate} * kSeconds;
  for (uint32_t round = 0; samples.size() < wanted; ++round) {
    samples::Voice voice;
    voice.pitch_scale = 0.8f + 0.1f * static_cast<float>(round % 5);
    voice.seed = round + 1;
    const auto phrase =
        samples::SpeechLike(rate, round % 2 == 0 ? samples::DemoPhrase() : samples::OtherPhrase(), voice);
    samples.insert(samples.end(), phrase.begin(), phrase.end());
  }
  samples.resize(wanted);
  return samples;
}

const std::vector<int16_t>& Speech(uint32_t rate) {
  static std::map<uint32_t, std::vector<int16_t>> cache;
  auto it = cache.find(rate);
  if (it == cache.end()) it = cache.emplace(rate, MinuteOfSpeech(rate)).first;
  return it->second;
}

// The analysis as the graph views and the comparison run it: results and smoothed contour.
void BM_Analysis(benchmark::State& state) {
  const auto rate = static_cast<uint32_t>(state.range(0));
  auto wave = samples::MakeWave16(Speech(rate), rate);
  for (auto _ : state) {
    CSoundAnalysis analysis(wave.get(), 0);
    benchmark::DoNotOptimize(analysis.Results().data());
  }
  state.counters["audio_s_per_s"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Analysis)->Arg(8000)->Arg(22050)->Arg(44100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with everything derived from it: both segment lists and the peak tracks.
void BM_AnalysisWithProducts(benchmark::State& state) {
  const auto rate = static_cast<uint32_t>(state.range(0));
  auto wave = samples::MakeWave16(Speech(rate), rate);
  for (auto _ : state) {
    CSoundAnalysis analysis(wave.get(), 0);
    benchmark::DoNotOptimize(analysis.VoicedSegments().data());
    benchmark::DoNotOptimize(analysis.NoisySegments().data());
    benchmark::DoNotOptimize(CSpectralAnalysis(analysis).PeakTracks());
  }
  state.counters["audio_s_per_s"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AnalysisWithProducts)->Arg(22050)->Unit(benchmark::kMillisecond)->UseRealTime();

// One windowed transform of a 10 ms frame (frame length L in samples).
void BM_PowerFft(benchmark::State& state) {
  const auto length = static_cast<int32_t>(state.range(0));
  CPowerFft fft;
  const int32_t count = fft.Configure(length);
  const std::vector<int16_t>& speech = Speech(22050);
  std::vector<int32_t> power(static_cast<size_t>(count));
  size_t offset = size_t{22050} * 2;
  for (auto _ : state) {
    fft.Transform(speech.data() + offset, power.data());
    benchmark::DoNotOptimize(power.data());
    offset = (offset + 220) % (speech.size() - 1024);
  }
}
BENCHMARK(BM_PowerFft)->Arg(80)->Arg(220)->Arg(441);

}  // namespace

int main(int argc, char** argv) { return melvox::bench::WavOrBenchMain(argc, argv, MinuteOfSpeech); }

// The slowed sound alone (no analysis): MakeStretched on about 3 s of generated speech with the pitch
// contour it was generated with. Arguments: sample rate, slow-down level. The counter audio_s_per_s is
// seconds of input sound stretched per wall-clock second.
#include <vector>

#include <benchmark/benchmark.h>

#include "samples/speech_like.h"
#include "sound/time_stretcher.h"

namespace {

void BM_MakeStretched(benchmark::State& state) {
  const auto rate = static_cast<uint32_t>(state.range(0));
  const auto level = static_cast<int32_t>(state.range(1));
  auto phrase = melvox::samples::DemoPhrase();
  const auto other = melvox::samples::OtherPhrase();
  phrase.insert(phrase.end(), other.begin(), other.end());
  const melvox::samples::Voice voice;
  const auto samples = melvox::samples::SpeechLike(rate, phrase, voice);
  const auto contour = melvox::samples::SpeechLikeContour(rate, phrase, voice);
  const auto wave = melvox::samples::MakeWave16(samples, rate);

  melvox::CTimeStretcher stretcher;
  for (auto _ : state) {
    auto slowed = stretcher.MakeStretched(*wave, contour, level);
    benchmark::DoNotOptimize(slowed->Data());
  }
  const double seconds = static_cast<double>(samples.size()) / rate;
  state.counters["audio_s_per_s"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_MakeStretched)
    ->ArgNames({"rate", "level"})
    ->ArgsProduct({{22050, 44100}, {-10, -100}})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

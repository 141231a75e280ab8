// The slowed sound: audio_s_per_s is seconds of input sound slowed per wall-clock second.
//   BM_MakeStretched: the stretch alone (no analysis) on about 3 s of generated speech with the pitch
//     contour it was generated with.
//   BM_PrepareSlowed: what the player does on loading, analysis included (decode from a memory source,
//     analyse, stretch), on those 3 s of speech repeated to a minute.
// Arguments: sample rate, slow-down level.
//
//   bench_stretch --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//   bench_stretch --write-wav PATH [RATE]   writes BM_PrepareSlowed's minute of audio (for peers)
#include <vector>

#include <benchmark/benchmark.h>

#include "analysis/slowed_sound.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"
#include "sound/time_stretcher.h"
#include "wav_or_bench_main.h"

namespace {

using namespace melvox;

constexpr size_t kMinute = 60;

std::vector<samples::Syllable> BothPhrases() {
  auto phrase = samples::DemoPhrase();
  const auto other = samples::OtherPhrase();
  phrase.insert(phrase.end(), other.begin(), other.end());
  return phrase;
}

// The 3 s of both phrases, repeated until a minute is filled.
std::vector<int16_t> MinuteOfPhrases(uint32_t rate) {
  const auto phrases = samples::SpeechLike(rate, BothPhrases(), samples::Voice{});
  std::vector<int16_t> samples;
  while (samples.size() < rate * kMinute) samples.insert(samples.end(), phrases.begin(), phrases.end());
  samples.resize(rate * kMinute);
  return samples;
}

void BM_MakeStretched(benchmark::State& state) {
  const auto rate = static_cast<uint32_t>(state.range(0));
  const auto level = static_cast<int32_t>(state.range(1));
  const auto phrase = BothPhrases();
  const samples::Voice voice;
  const auto samples = samples::SpeechLike(rate, phrase, voice);
  const auto contour = samples::SpeechLikeContour(rate, phrase, voice);
  const auto wave = samples::MakeWave16(samples, rate);

  CTimeStretcher stretcher;
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

void BM_PrepareSlowed(benchmark::State& state) {
  const auto rate = static_cast<uint32_t>(state.range(0));
  const auto level = static_cast<int32_t>(state.range(1));
  CountedPtr<CSoundSource> source = MakeMemorySource(samples::MakeWave16(MinuteOfPhrases(rate), rate));
  for (auto _ : state) {
    CountedPtr<CSoundSource> slowed = PrepareSlowed(*source, level);
    benchmark::DoNotOptimize(slowed.Get());
  }
  state.counters["audio_s_per_s"] =
      benchmark::Counter(static_cast<double>(kMinute), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_PrepareSlowed)
    ->ArgNames({"rate", "level"})
    ->ArgsProduct({{22050, 44100}, {-10, -100}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return melvox::bench::WavOrBenchMain(argc, argv, MinuteOfPhrases); }

// The graphs: preparing and drawing views of 10 s of speech-like sound (22050 Hz, 16-bit mono), each
// graph 800 x 150 pixels, analyses included, as a graph manager does when it is given a sound.
//   BM_DrawGraphs/15: the four graphs, stacked into one picture (what `melvox graph` draws).
//   BM_DrawGraphs/1, /4, /2, /8: the envelope, pitch, crossing and spectrum graph alone.
// bench/graph_peers.sh times whole `melvox graph` runs against `sox ... spectrogram` on the same file.
//
//   bench_graph --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//   bench_graph --write-wav PATH [RATE]   writes the 10 s of audio (for the peer script)
#include <vector>

#include <benchmark/benchmark.h>

#include "graph/graph_picture.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"
#include "wav_or_bench_main.h"

namespace {

using namespace melvox;

constexpr size_t kSeconds = 10;

// Both phrases of the generated speech, repeated until 10 s are filled.
std::vector<int16_t> TenSecondsOfSpeech(uint32_t rate) {
  auto phrase = samples::DemoPhrase();
  const auto other = samples::OtherPhrase();
  phrase.insert(phrase.end(), other.begin(), other.end());
  const auto phrases = samples::SpeechLike(rate, phrase, samples::Voice{});
  std::vector<int16_t> samples;
  while (samples.size() < rate * kSeconds) samples.insert(samples.end(), phrases.begin(), phrases.end());
  samples.resize(rate * kSeconds);
  return samples;
}

void BM_DrawGraphs(benchmark::State& state) {
  const auto types = static_cast<uint32_t>(state.range(0));
  const uint32_t rate = 22050;
  CountedPtr<CSoundSource> sound = MakeMemorySource(samples::MakeWave16(TenSecondsOfSpeech(rate), rate));
  for (auto _ : state) {
    const platform::Bitmap picture = DrawGraphPicture(sound.Get(), types, 800, 150, 0);
    benchmark::DoNotOptimize(picture.Data());
  }
}

BENCHMARK(BM_DrawGraphs)->Arg(15)->Arg(1)->Arg(4)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return melvox::bench::WavOrBenchMain(argc, argv, TenSecondsOfSpeech); }

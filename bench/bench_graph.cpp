// The graphs: preparing and drawing views of 10 s of speech-like sound (22050 Hz, 16-bit mono), each
// graph 800 x 150 pixels, analyses included, as a graph manager does when it is given a sound.
//   BM_DrawGraphs/15: the four graphs, stacked into one picture (what `melvox graph` draws).
//   BM_DrawGraphs/1, /4, /2, /8: the envelope, pitch, crossing and spectrum graph alone.
//   BM_SetSoundFile/0: a graph manager's SetSoundFile with four graphs in a headless parent, from the
//     host's call to its return with the graphs painted (the file decoded, slowed and analysed).
//   BM_SetSoundFile/1: the same in a window on the X display (run under Xvfb: scripts/with-x), until
//     the painted pixels have gone to the server; skipped without a display.
// bench/graph_peers.sh times whole `melvox graph` runs against `sox ... spectrogram` on the same file.
//
//   bench_graph --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//   bench_graph --write-wav PATH [RATE]   writes the 10 s of audio (for the peer script)
#include <vector>

#include <benchmark/benchmark.h>

#include "graph/graph_picture.h"
#include "graph/graph_type.h"
#include "graph/graphic_manager.h"
#include "platform/headless_window_system.h"
#include "platform/window_backend.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"
#include "sound/wave_writer.h"
#include "support/temp_dir.h"
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

// A top-level window of the library's own on the display stands in for a host's window.
class TopLevel : public platform::Window {};

void BM_SetSoundFile(benchmark::State& state) {
  const bool on_screen = state.range(0) != 0;
  testing::TempDir folder;
  const std::string file = folder.File("speech.wav");
  WriteWaveFile(file.c_str(), *samples::MakeWave16(TenSecondsOfSpeech(22050), 22050));
  std::shared_ptr<platform::WindowSystem> system;
  TopLevel top;
  HWND parent = 0;
  if (on_screen) {
    system = platform::ScreenWindowSystem();
    if (!system) {
      state.SkipWithError("no X display (run under scripts/with-x)");
      return;
    }
    parent = system->CreateTopLevel("bench_graph", 800, 4 * 150 + 3, &top);
  } else {
    auto headless = platform::HeadlessWindowSystem::Make();
    parent = headless->CreateParent(800, 4 * 150 + 3);
    system = headless;
  }
  auto* manager = static_cast<CGraphicManager*>(GetGraphicManager());
  for (int32_t i = 0; i < 4; ++i) {
    const GraphRect rect{0, i * 151, 800, i * 151 + 150};
    manager->CreateGraphs(parent, i, static_cast<uint8_t>(kGraphOrder[static_cast<size_t>(i)]), &rect);
  }
  system->RunOnWindowThread([&] {
    for (const GraphType type : kGraphOrder) manager->Window(type)->Show(true);
  });
  for (auto _ : state) {
    manager->SetSoundFile(file.c_str(), 0);
    // The next pass of the window thread begins after this one's painted pixels went to the server.
    system->RunOnWindowThread([] {});
  }
  manager->Release();
  if (on_screen) system->RunOnWindowThread([&] { top.DestroyWindow(); });
}

BENCHMARK(BM_SetSoundFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return melvox::bench::WavOrBenchMain(argc, argv, TenSecondsOfSpeech); }

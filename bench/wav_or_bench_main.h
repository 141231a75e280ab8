// The main() of a benchmark program whose audio peer scripts also need: with `--write-wav PATH [RATE]`
// it writes that audio (RATE default 22050 Hz) as a 16-bit mono WAV file instead of benchmarking.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "samples/speech_like.h"
#include "sound/wave_writer.h"

namespace melvox::bench {

inline int WavOrBenchMain(int argc, char** argv, std::vector<int16_t> (*audio)(uint32_t rate)) {
  if (argc >= 3 && std::strcmp(argv[1], "--write-wav") == 0) {
    const uint32_t rate = argc >= 4 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 22050;
    WriteWaveFile(argv[2], *samples::MakeWave16(audio(rate), rate));
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace melvox::bench

// Decoding throughput: megabytes of PCM delivered per second when a 10-minute sound file is opened
// and decoded whole (OpenSoundFile + GetWave), for 16-bit PCM, 8-bit PCM, IMA ADPCM and Ogg Vorbis.
// Two peers run in the same process on the same files, so ratios hold on a noisy machine:
//   PlainRead      reading the 16-bit file into memory with read(2) (the floor for PCM);
//   PlainVorbis    libvorbisfile's own ov_read loop (the floor for Ogg Vorbis).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>

#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "support/ogg_encoder.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace {

using namespace melvox;

constexpr uint32_t kRate = 22050;
constexpr int kMinutes = 10;

struct Files {
  testing::TempDir folder;
  std::string pcm16, pcm8, adpcm, ogg;
  size_t frames = 0;

  Files() {
    const auto phrase = samples::SpeechLike(kRate, samples::DemoPhrase(), samples::Voice{});
    std::vector<int16_t> sound;
    while (sound.size() < size_t{kRate} * 60 * kMinutes) sound.insert(sound.end(), phrase.begin(), phrase.end());
    sound.resize(size_t{kRate} * 60 * kMinutes);
    frames = sound.size();
    std::vector<uint8_t> eight;
    for (int16_t sample : sound) eight.push_back(static_cast<uint8_t>((sample >> 8) + 128));
    pcm16 = folder.Write("pcm16.wav", testing::PcmWav16(sound, kRate));
    pcm8 = folder.Write("pcm8.wav", testing::PcmWav8(eight, kRate));
    adpcm = folder.Write("adpcm.wav", testing::AdpcmWav(sound, kRate, 512));
    ogg = folder.Write("speech.ogg", testing::EncodeOggVorbis(sound, 1, kRate));
  }
};

const Files& TestFiles() {
  static const Files files;
  return files;
}

void Decode(benchmark::State& state, const std::string& path) {
  size_t bytes = 0;
  for (auto _ : state) {
    CountedPtr<CSoundSource> source = OpenSoundFile(path.c_str());
    std::unique_ptr<CWave> wave = source->GetWave();
    benchmark::DoNotOptimize(wave->Data());
    bytes += wave->Size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_DecodePcm16(benchmark::State& state) { Decode(state, TestFiles().pcm16); }
void BM_DecodePcm8(benchmark::State& state) { Decode(state, TestFiles().pcm8); }
void BM_DecodeImaAdpcm(benchmark::State& state) { Decode(state, TestFiles().adpcm); }
void BM_DecodeOggVorbis(benchmark::State& state) { Decode(state, TestFiles().ogg); }

void BM_PlainRead(benchmark::State& state) {
  const std::string& path = TestFiles().pcm16;
  std::vector<char> buffer(TestFiles().frames * 2 + 64);
  size_t bytes = 0;
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    ::close(fd);
    benchmark::DoNotOptimize(buffer.data());
    bytes += static_cast<size_t>(got);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_PlainVorbis(benchmark::State& state) {
  std::vector<char> pcm(TestFiles().frames * 2 + 8192);
  size_t bytes = 0;
  for (auto _ : state) {
    OggVorbis_File file;
    if (ov_fopen(TestFiles().ogg.c_str(), &file) != 0) state.SkipWithError("ov_fopen failed");
    size_t at = 0;
    int stream = 0;
    for (long got; (got = ov_read(&file, pcm.data() + at, 4096, 0, 2, 1, &stream)) != 0;) {
      if (got > 0) at += static_cast<size_t>(got);
    }
    ov_clear(&file);
    bytes += at;
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePcm16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePcm8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeImaAdpcm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainVorbis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOggVorbis)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

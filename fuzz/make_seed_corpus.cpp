// Writes the seed corpora of the fuzz targets. Usage: make_seed_corpus SOUND_FOLDER ANALYSIS_FOLDER
//  - sound files (fuzz_open_sound): valid WAV (8- and 16-bit PCM, IMA ADPCM) and Ogg Vorbis files, and
//    near-valid variants of them (cut short, header fields out of range, chunks in odd places, a
//    damaged page);
//  - sounds to analyse (fuzz_analysis): a 4-byte header (rate, sample size and kind, repeats, level)
//    followed by speech-like samples, tones, noise and silence.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "samples/speech_like.h"
#include "support/ima_adpcm_encoder.h"
#include "support/ogg_encoder.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace {

using melvox::testing::Bytes;
using namespace melvox::testing;

void PutU16(Bytes& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(Bytes& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

Bytes Cut(const Bytes& bytes, size_t length) {
  return Bytes(bytes.begin(), bytes.begin() + std::min(length, bytes.size()));
}

// Header bytes of the analysis target: rate index (0 = 8000 .. 3 = 22050 .. 5 = 44100 .. 7 = 96000),
// flags (bit 0: 8-bit samples; bits 1-2: their kind; bit 3: detect endpoints first), repeats, level.
Bytes AnalysisSeed(uint8_t rate_index, uint8_t flags, uint8_t repeats, const Bytes& samples) {
  Bytes bytes = {rate_index, flags, repeats, 49};
  bytes.insert(bytes.end(), samples.begin(), samples.end());
  return bytes;
}

void WriteAnalysisSeeds(const std::string& folder) {
  std::filesystem::create_directories(folder);
  const auto phrase = melvox::samples::SpeechLike(8000, melvox::samples::DemoPhrase(), melvox::samples::Voice{});
  const Bytes speech = SamplesToBytes(std::vector<int16_t>(phrase.begin(), phrase.begin() + 6000));
  Bytes speech8;
  for (size_t i = 0; i < 6000; ++i) speech8.push_back(static_cast<uint8_t>((phrase[i] >> 8) + 128));
  const Bytes tone = SamplesToBytes(melvox::samples::Tone(22050, 200.0f, 40, 12000.0f));
  const Bytes noise = SamplesToBytes(melvox::samples::WhiteNoise(44100, 20, 20000.0f, 7));
  WriteFileBytes(folder + "/speech16.bin", AnalysisSeed(0, 8, 1, speech));
  WriteFileBytes(folder + "/speech8.bin", AnalysisSeed(0, 1 | 8, 1, speech8));
  WriteFileBytes(folder + "/speech8_signed.bin", AnalysisSeed(0, 1 | 2, 1, speech8));
  WriteFileBytes(folder + "/tone_repeated.bin", AnalysisSeed(3, 0, 40, tone));
  WriteFileBytes(folder + "/noise_96k.bin", AnalysisSeed(7, 8, 20, noise));
  WriteFileBytes(folder + "/silence.bin", AnalysisSeed(5, 8, 10, Bytes(4000, 0)));
  WriteFileBytes(folder + "/full_scale.bin", AnalysisSeed(2, 0, 30, Bytes(800, 0x80)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seed_corpus SOUND_FOLDER ANALYSIS_FOLDER\n");
    return 2;
  }
  WriteAnalysisSeeds(argv[2]);
  const std::string folder = argv[1];
  std::filesystem::create_directories(folder);
  int written = 0;
  auto put = [&](const std::string& name, const Bytes& bytes) {
    WriteFileBytes(folder + "/" + name, bytes);
    ++written;
  };

  const auto tone = melvox::samples::Tone(8000, 220.0f, 150, 9000.0f);
  std::vector<uint8_t> tone8;
  for (int16_t sample : tone) tone8.push_back(static_cast<uint8_t>((sample >> 8) + 128));
  std::vector<int16_t> stereo;
  for (int16_t sample : tone) {
    stereo.push_back(sample);
    stereo.push_back(static_cast<int16_t>(-sample));
  }

  const Bytes pcm16 = PcmWav16(tone, 8000);
  const Bytes pcm8 = PcmWav8(tone8, 8000);
  const Bytes adpcm = AdpcmWav(tone, 8000, 256);
  const Bytes ogg = EncodeOggVorbis(tone, 1, 8000);
  put("pcm16.wav", pcm16);
  put("pcm8.wav", pcm8);
  put("adpcm256.wav", adpcm);
  put("adpcm36.wav", AdpcmWav(tone, 8000, 36));
  put("mono.ogg", ogg);
  put("stereo.ogg", EncodeOggVorbis(stereo, 2, 8000));

  // Chunks in other places: a list chunk of odd size with and without its pad byte, a chunk before "fmt ".
  const Bytes samples = SamplesToBytes(tone);
  const Bytes format = FormatBody(1, 1, 8000, 2, 16);
  put("list_padded.wav",
      WavBuilder().Chunk("fmt ", format).Chunk("LIST", Bytes{'a', 'b', 'c', 0}).Data(samples).Build());
  Bytes odd = WavBuilder().Chunk("fmt ", format).ChunkClaiming("LIST", 3, Bytes{'a', 'b', 'c'}).Data(samples).Build();
  put("list_unpadded.wav", odd);
  put("chunk_before_fmt.wav", WavBuilder().Chunk("JUNK", Bytes(8, 0)).Chunk("fmt ", format).Data(samples).Build());
  put("no_data.wav", WavBuilder().Chunk("fmt ", format).Build());
  put("data_claims_more.wav", WavBuilder().Chunk("fmt ", format).ChunkClaiming("data", 0x7fffffff, samples).Build());
  put("fmt_claims_more.wav", WavBuilder().ChunkClaiming("fmt ", 0xfffffff0, format).Build());
  put("short_fmt.wav", WavBuilder().Chunk("fmt ", Bytes(format.begin(), format.begin() + 14)).Data(samples).Build());

  // Header fields out of range (offsets into the canonical 44-byte header).
  struct Field {
    const char* name;
    size_t at;
    uint32_t value;
    bool wide;
  };
  const Field fields[] = {
      {"tag_float", 20, 3, false},         {"stereo", 22, 2, false},
      {"no_channels", 22, 0, false},       {"rate_zero", 24, 0, true},
      {"rate_huge", 24, 0xffffffff, true}, {"bits_24", 34, 24, false},
      {"bits_zero", 34, 0, false},         {"riff_size_zero", 4, 0, true},
      {"data_size_odd", 40, 3, true},
  };
  for (const Field& field : fields) {
    Bytes bytes = pcm16;
    field.wide ? PutU32(bytes, field.at, field.value) : PutU16(bytes, field.at, static_cast<uint16_t>(field.value));
    put(std::string("pcm16_") + field.name + ".wav", bytes);
  }
  // IMA ADPCM: block alignment 0, 4 and 5, and a block header with a step index past the table.
  for (uint16_t align : {0, 4, 5}) {
    Bytes bytes = adpcm;
    PutU16(bytes, 32, align);
    put("adpcm_align_" + std::to_string(align) + ".wav", bytes);
  }
  Bytes bad_index = adpcm;
  const size_t data_body = bad_index.size() - (EncodeImaAdpcm(tone, 256).size());
  bad_index[data_body + 2] = 200;
  put("adpcm_bad_step_index.wav", bad_index);

  // Files cut short at header boundaries and in the middle.
  for (size_t length : {0, 3, 4, 8, 12, 20, 36, 44})
    put("pcm16_cut_" + std::to_string(length) + ".wav", Cut(pcm16, length));
  put("adpcm_cut_half.wav", Cut(adpcm, adpcm.size() / 2));
  put("ogg_cut_half.ogg", Cut(ogg, ogg.size() / 2));
  put("ogg_cut_headers.ogg", Cut(ogg, 200));
  Bytes damaged = ogg;
  for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 16; ++i) damaged[i] ^= 0x5a;
  put("ogg_damaged.ogg", damaged);
  Bytes not_vorbis = {'O', 'g', 'g', 'S'};
  not_vorbis.resize(64, 0);
  put("oggs_not_vorbis.ogg", not_vorbis);

  std::printf("wrote %d seed files to %s\n", written, folder.c_str());
  return 0;
}

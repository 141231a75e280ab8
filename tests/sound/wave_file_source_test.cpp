// WAV files read and written.
#include "sound/wave_file_source.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/mv_exception.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "sound/wave_writer.h"
#include "support/ima_adpcm_encoder.h"
#include "support/sound_data.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

// How IMA ADPCM decodes and its lengths are checked with every kind of source in sound_source_test.cpp.
TEST(CWaveFileSourceTest, ImaAdpcmStepIndexPastTheTableStopsItsBlock) {
  const auto samples = samples::Tone(8000, 300.0f, 400, 10000.0f);
  Bytes file = AdpcmWav(samples, 8000, 64);
  const size_t data = file.size() - EncodeImaAdpcm(samples, 64).size();
  file[data + 64 + 2] = 89;  // the second block's step index
  CountedPtr<CSoundSource> source = OpenBytes(file);
  const auto decoded = ReadAll16(*source);
  // Blocks of 64 bytes decode to 121 samples: the second block covers samples 121 to 241.
  ASSERT_GT(decoded.size(), 3u * 121);
  EXPECT_EQ(decoded[121], samples[121]);                          // its header sample is still there...
  for (int i = 122; i < 242; ++i) ASSERT_EQ(decoded[i], 0) << i;  // ...and nothing after it
  EXPECT_EQ(decoded[242], samples[242]);                          // the third block decodes again
}

// IMA ADPCM written by sox, when it is installed: 504 of every 505 samples per block are played, and the
// samples decode exactly as sox itself decodes them.
TEST(CWaveFileSourceTest, ImaAdpcmWrittenBySox) {
  if (std::system("command -v sox >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
  const auto samples = samples::SpeechLike(22050, samples::DemoPhrase(), samples::Voice{});
  TempDir folder;
  const std::string in = folder.Write("in.wav", PcmWav16(samples, 22050));
  const std::string out = folder.File("ima.wav");
  const std::string back = folder.File("back.wav");
  // -D: sox dithers at random by default, so the encoded file would differ from run to run.
  ASSERT_EQ(std::system(("sox -D " + in + " -e ima-adpcm " + out).c_str()), 0);
  ASSERT_EQ(std::system(("sox -D " + out + " -e signed-integer -b 16 " + back).c_str()), 0);
  CountedPtr<CSoundSource> source = OpenSoundFile(out.c_str());
  const Bytes file = ReadFileBytes(out);
  const uint16_t block_align = static_cast<uint16_t>(file[32] | file[33] << 8);
  EXPECT_EQ(source->GetLength() % ((block_align - 4) * 2), 0);
  EXPECT_GE(source->GetLength(), static_cast<int32_t>(samples.size() / 505 * 504));

  const auto ours = ReadAll16(*source);
  const auto theirs = ReadAll16(*OpenSoundFile(back.c_str()));
  ASSERT_GE(theirs.size(), samples.size());
  ASSERT_GE(ours.size(), samples.size());
  for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(ours[i], theirs[i]) << i;
}

TEST(CWaveFileSourceTest, ChunksAroundTheFormatAndDataAreSkippedAndMalformedFilesEndInTheirCodes) {
  const Bytes samples = SamplesToBytes(std::vector<int16_t>(64, 1));
  const Bytes format = FormatBody(1, 1, 8000, 2, 16);
  // A list chunk between "fmt " and "data" is skipped, odd-sized with the RIFF pad byte or without; a
  // data chunk claiming more than the file holds ends with the file.
  for (const Bytes& file :
       {WavBuilder().Chunk("fmt ", format).Chunk("LIST", Bytes(10, 1)).Data(samples).Build(),
        WavBuilder().Chunk("fmt ", format).ChunkClaiming("LIST", 3, {1, 2, 3, 0}).Data(samples).Build(),
        WavBuilder().Chunk("fmt ", format).ChunkClaiming("LIST", 3, {1, 2, 3}).Data(samples).Build(),
        WavBuilder().Chunk("fmt ", format).ChunkClaiming("data", 1000000, samples).Build()}) {
    CountedPtr<CSoundSource> source = OpenBytes(file);
    EXPECT_EQ(source->GetLength(), 64);
    EXPECT_EQ(ReadAll16(*source), std::vector<int16_t>(64, 1));
  }
  // An empty data chunk: length 0 and nothing to read.
  CountedPtr<CSoundSource> empty = OpenBytes(WavBuilder().Chunk("fmt ", format).Data({}).Build());
  EXPECT_EQ(empty->GetLength(), 0);
  EXPECT_FALSE(empty->HasData());
  EXPECT_EQ(empty->GetWave()->SampleCount(), 0u);

  const Bytes good = PcmWav16(std::vector<int16_t>(64, 1), 8000);
  auto with_u16 = [&](size_t at, uint16_t value) {
    Bytes bytes = good;
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
    return bytes;
  };
  Bytes adpcm_align_4 = WavBuilder().Format(0x11, 1, 8000, 256, 4).Data(Bytes(512, 0)).Build();
  adpcm_align_4[32] = 4;  // block align field of the format chunk
  adpcm_align_4[33] = 0;
  Bytes rate_zero = good;
  for (int i = 24; i < 28; ++i) rate_zero[i] = 0;

  struct Malformed {
    const char* name;
    Bytes bytes;
    int32_t code;
  };
  const std::vector<Malformed> cases = {
      {"empty file", {}, 9},
      {"cut inside the RIFF header", Bytes(good.begin(), good.begin() + 10), 9},
      {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, 9},
      {"not WAVE", WavBuilder().FormType("AVI ").Chunk("fmt ", format).Data(samples).Build(), 9},
      {"stereo", PcmWav16(std::vector<int16_t>(64, 1), 8000, 2), 9},
      {"zero channels", with_u16(22, 0), 9},
      {"no data chunk", WavBuilder().Chunk("fmt ", format).Chunk("LIST", Bytes(4, 0)).Build(), 9},
      {"a chunk before the format", WavBuilder().Chunk("LIST", Bytes(4, 0)).Chunk("fmt ", format).Data(samples).Build(),
       9},
      {"format chunk too short",
       WavBuilder().Chunk("fmt ", Bytes(format.begin(), format.begin() + 14)).Data(samples).Build(), 9},
      {"format chunk past the end", WavBuilder().ChunkClaiming("fmt ", 4096, format).Build(), 9},
      {"float samples", with_u16(20, 3), 8},
      {"zero bits", with_u16(34, 0), 8},  // as 24: PCM is 8 or 16 bits
      {"zero sample rate", rate_zero, 9},
      {"IMA ADPCM block of 4 bytes", adpcm_align_4, 9},
  };
  for (const Malformed& test : cases) EXPECT_EQ(ErrorCodeOf([&] { OpenBytes(test.bytes); }), test.code) << test.name;
}

std::unique_ptr<CWave> WaveOf(const Bytes& bytes, uint16_t channels, uint32_t rate, uint16_t bits, SampleKind kind) {
  auto wave =
      std::make_unique<CWave>(MakePcmFormat(channels, rate, bits), static_cast<uint32_t>(bytes.size()), bytes.data());
  wave->SetKind(kind);
  wave->SetSampleCount(static_cast<uint32_t>(bytes.size() / (bits / 8) / channels));  // frames
  return wave;
}

// The file is byte for byte what the WAV builder makes of the samples as the format wants them.
TEST(WriteWaveFile, WritesTheCanonicalLayout) {
  const std::vector<int16_t> frames = {1, -1, 300, -300, 32767, -32768};
  // An odd number of data bytes is followed by a pad byte that the RIFF size counts.
  Bytes padded = PcmWav8({10, 20, 30}, 8000);
  padded[4] += 1;
  padded.push_back(0);
  struct Case {
    std::unique_ptr<CWave> wave;
    Bytes file;
  };
  Case cases[] = {
      // Stereo at 44100 Hz: block align 4, 176400 bytes per second; the sample count counts frames.
      {WaveOf(SamplesToBytes(frames), 2, 44100, 16, SampleKind::kSigned), PcmWav16(frames, 44100, 2)},
      {WaveOf({0, 1, 128, 254, 255, 7}, 1, 8000, 8, SampleKind::kUnsigned8), PcmWav8({0, 1, 128, 254, 255, 7}, 8000)},
      // Signed 8-bit samples are written unsigned, as the format wants: -128 -> 0, 0 -> 128, 127 -> 255.
      {WaveOf({0x80, 0x00, 0x7F, 0xFF}, 1, 11025, 8, SampleKind::kSigned), PcmWav8({0, 128, 255, 127}, 11025)},
      {WaveOf({10, 20, 30}, 1, 8000, 8, SampleKind::kUnsigned8), padded},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WriteWaveFile(dir.File("out.wav").c_str(), *c.wave);
    EXPECT_EQ(ReadFileBytes(dir.File("out.wav")), c.file) << c.wave->Format().wBitsPerSample << " bits";
  }
}

TEST(WaveFileTest, ReadingAndWritingFailuresCarryTheirCodes) {
  EXPECT_EQ(ErrorCodeOf([] { OpenSoundFile("/nonexistent/melvox/sound.wav"); }), 10);
  TempDir folder;
  EXPECT_EQ(ErrorCodeOf([&] { OpenSoundFile(folder.Path().c_str()); }), 10);  // a folder is no file to read
  const auto write = [&](const std::string& name, const CWave& wave) {
    return ErrorCodeOf([&] { WriteWaveFile(folder.File(name).c_str(), wave); });
  };
  EXPECT_EQ(write("no-such-folder/out.wav", *WaveOf({1, 2}, 1, 8000, 16, SampleKind::kSigned)), kErrCannotOpenFile);
  EXPECT_EQ(write("out.wav", *WaveOf({1, 2, 3}, 1, 8000, 24, SampleKind::kSigned)), kErrUnsupportedWaveFormat);
  CFileReader closed;
  uint8_t byte = 0;
  uint32_t got = 0;
  int64_t position = 0;
  EXPECT_EQ(ErrorCodeOf([&] { closed.Read(&byte, 1, got); }), 12);
  EXPECT_EQ(ErrorCodeOf([&] { closed.Seek(0, 0); }), 12);
  EXPECT_EQ(ErrorCodeOf([&] { closed.GetPosition(position); }), 12);

  CMemoryFileReader memory(Bytes{1, 2, 3});
  EXPECT_EQ(ErrorCodeOf([&] { memory.Seek(-1, 0); }), 11);
  memory.Seek(10, 0);  // past the end is allowed; reads there return nothing
  EXPECT_TRUE(memory.Read(&byte, 1, got));
  EXPECT_EQ(got, 0u);
  memory.Close();
  EXPECT_EQ(ErrorCodeOf([&] { memory.Read(&byte, 1, got); }), 12);
}

}  // namespace
}  // namespace melvox::testing

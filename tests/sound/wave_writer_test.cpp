#include "sound/wave_writer.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/thrown.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

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

TEST(WriteWaveFile, FailuresCarryTheirCodes) {
  TempDir dir;
  const auto code_of = [](const std::string& path, const CWave& wave) {
    return ErrorCodeOf([&] { WriteWaveFile(path.c_str(), wave); });
  };
  EXPECT_EQ(code_of(dir.File("no-such-folder/out.wav"), *WaveOf({1, 2}, 1, 8000, 16, SampleKind::kSigned)),
            kErrCannotOpenFile);
  EXPECT_EQ(code_of(dir.File("out.wav"), *WaveOf({1, 2, 3}, 1, 8000, 24, SampleKind::kSigned)),
            kErrUnsupportedWaveFormat);
}

}  // namespace
}  // namespace melvox::testing

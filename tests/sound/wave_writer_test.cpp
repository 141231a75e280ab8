#include "sound/wave_writer.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sound/open_sound_file.h"
#include "support/sound_data.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox {
namespace {

std::unique_ptr<CWave> WaveOf(const std::vector<uint8_t>& bytes, uint16_t channels, uint32_t rate, uint16_t bits,
                              int32_t kind) {
  auto wave =
      std::make_unique<CWave>(MakePcmFormat(channels, rate, bits), static_cast<uint32_t>(bytes.size()), bytes.data());
  wave->SetKind(kind);
  return wave;
}

TEST(WriteWaveFile, RoundTripsThroughOpenSoundFile) {
  struct Case {
    std::vector<uint8_t> held;  // the samples as the wave holds them
    uint16_t bits;
    uint32_t rate;
    int32_t kind;
    std::vector<uint8_t> read;  // the samples as a source decodes them
  };
  const std::vector<Case> cases = {
      {{0x00, 0x80, 0xFF, 0x7F, 0x34, 0x12}, 16, 22050, kSamplesSigned, {0x00, 0x80, 0xFF, 0x7F, 0x34, 0x12}},
      {{0, 1, 128, 254, 255}, 8, 8000, kSamplesUnsigned8, {0, 1, 128, 254, 255}},
      // Signed 8-bit samples are written unsigned, as the format wants: -128 -> 0, 0 -> 128, 127 -> 255.
      {{0x80, 0x00, 0x7F, 0xFF}, 8, 11025, kSamplesSigned, {0, 128, 255, 127}},
  };
  testing::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    const std::string path = dir.File("out.wav");
    WriteWaveFile(path.c_str(), *WaveOf(c.held, 1, c.rate, c.bits, c.kind));
    const auto back = OpenSoundFile(path.c_str())->GetWave();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Format().nSamplesPerSec, c.rate);
    EXPECT_EQ(back->Format().wBitsPerSample, c.bits);
    EXPECT_EQ(back->Kind(), c.bits == 8 ? kSamplesUnsigned8 : kSamplesSigned);  // 8-bit files stay unsigned
    EXPECT_EQ(std::vector<uint8_t>(back->Data(), back->Data() + back->Size()), c.read);
  }
}

TEST(WriteWaveFile, WritesTheCanonicalLayout) {
  testing::TempDir dir;
  const std::string path = dir.File("out.wav");
  // Stereo at 44100 Hz: block align 4, 176400 bytes per second; the sample count counts frames.
  const std::vector<int16_t> frames = {1, -1, 300, -300, 32767, -32768};
  auto stereo = WaveOf(testing::SamplesToBytes(frames), 2, 44100, 16, kSamplesSigned);
  stereo->SetSampleCount(3);
  WriteWaveFile(path.c_str(), *stereo);
  EXPECT_EQ(testing::ReadFileBytes(path), testing::PcmWav16(frames, 44100, 2));

  // An odd number of data bytes is followed by a pad byte that the RIFF size counts.
  const std::vector<uint8_t> odd = {10, 20, 30};
  WriteWaveFile(path.c_str(), *WaveOf(odd, 1, 8000, 8, kSamplesUnsigned8));
  auto expected = testing::PcmWav8(odd, 8000);
  expected[4] += 1;
  expected.push_back(0);
  EXPECT_EQ(testing::ReadFileBytes(path), expected);
}

TEST(WriteWaveFile, FailuresCarryTheirCodes) {
  testing::TempDir dir;
  const auto code_of = [](const std::string& path, const CWave& wave) {
    return testing::ErrorCodeOf([&] { WriteWaveFile(path.c_str(), wave); });
  };
  EXPECT_EQ(code_of(dir.File("no-such-folder/out.wav"), *WaveOf({1, 2}, 1, 8000, 16, kSamplesSigned)),
            kErrCannotOpenFile);
  EXPECT_EQ(code_of(dir.File("out.wav"), *WaveOf({1, 2, 3}, 1, 8000, 24, kSamplesSigned)), kErrUnsupportedWaveFormat);
}

}  // namespace
}  // namespace melvox

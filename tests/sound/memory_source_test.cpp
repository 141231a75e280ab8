#include "sound/memory_source.h"

#include <vector>

#include <gtest/gtest.h>

#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox::testing {
namespace {

// Reading in pieces, rewinding and the short read are checked for every kind of source in
// sound_source_test.cpp; here what only a memory source does.
TEST(CMemorySourceTest, ClosedOrWithoutAWaveItHasNothingToRead) {
  CountedPtr<CSoundSource> source = MakeMemorySource(samples::MakeWave16(std::vector<int16_t>(3000, 7), 22050));
  source->Close();
  int16_t buffer[10] = {};
  uint32_t frames = 10;
  EXPECT_TRUE(source->Read(buffer, sizeof buffer, frames));
  EXPECT_EQ(frames, 0u);

  CMemorySource none{CountedPtr<CWave>()};
  EXPECT_EQ(none.GetLength(), -1);
  EXPECT_EQ(none.GetWave(), nullptr);
  EXPECT_FALSE(none.HasData());
}

// A wave whose sample count claims more bytes than its block holds (a stereo block counted in
// samples, or a truncated wave) is served only up to the block's end; ASan catches any overrun.
TEST(CMemorySourceTest, NeverReadsPastTheBlock) {
  std::vector<int16_t> values(400, 5);
  auto stereo = std::make_unique<CWave>(MakePcmFormat(2, 22050, 16), 800, values.data());
  CountedPtr<CSoundSource> source = MakeMemorySource(std::move(stereo));
  std::vector<int16_t> buffer(2000);
  uint32_t frames = 1000;
  ASSERT_TRUE(source->Read(buffer.data(), 4000, frames));
  EXPECT_EQ(frames, 200u);  // 800 bytes of 4-byte frames

  // Truncating leaves the block where it is and the sample count as it was: only the bytes in use shrink.
  auto truncated = std::make_unique<CWave>();
  truncated->SetFormat(MakePcmFormat(1, 22050, 16));
  ASSERT_TRUE(truncated->Allocate(200));
  truncated->SetSampleCount(100);
  EXPECT_FALSE(truncated->Truncate(100));  // n must be below the sample count
  const uint8_t* block = truncated->Data();
  ASSERT_TRUE(truncated->Truncate(9));
  EXPECT_EQ(truncated->Data(), block);
  EXPECT_EQ(truncated->SampleCount(), 100u);
  CountedPtr<CSoundSource> shorter = MakeMemorySource(std::move(truncated));
  EXPECT_EQ(ReadAll16(*shorter), std::vector<int16_t>(10, 0)) << "a new block is silence";
}

}  // namespace
}  // namespace melvox::testing

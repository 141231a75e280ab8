#include "sound/memory_source.h"

#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "samples/speech_like.h"
#include "support/sound_data.h"

namespace melvox::testing {
namespace {

std::vector<int16_t> Ramp(uint32_t samples) {
  std::vector<int16_t> values(samples);
  std::iota(values.begin(), values.end(), int16_t{-100});
  return values;
}

std::unique_ptr<CWave> Ramp16(uint32_t samples) { return samples::MakeWave16(Ramp(samples), 22050); }

// Reading in pieces, rewinding and the short read are checked for every kind of source in
// sound_source_test.cpp; here what only a memory source does.
TEST(CMemorySourceTest, ClosedOrWithoutAWaveItHasNothingToRead) {
  CountedPtr<CSoundSource> source = MakeMemorySource(Ramp16(3000));
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

  auto truncated = Ramp16(100);
  truncated->Truncate(9);
  CountedPtr<CSoundSource> shorter = MakeMemorySource(std::move(truncated));
  EXPECT_EQ(ReadAll16(*shorter).size(), 10u);
}

}  // namespace
}  // namespace melvox::testing

#include "sound/memory_source.h"

#include <cstring>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

namespace melvox {
namespace {

std::unique_ptr<CWave> Ramp16(uint32_t samples) {
  std::vector<int16_t> values(samples);
  std::iota(values.begin(), values.end(), int16_t{-100});
  auto wave = std::make_unique<CWave>(MakePcmFormat(1, 22050, 16), samples * 2, values.data());
  wave->SetKind(kSamplesSigned);
  return wave;
}

TEST(CMemorySourceTest, ServesTheWaveInPiecesAndCountsDelivered) {
  CountedPtr<CSoundSource> source = MakeMemorySource(Ramp16(1000));
  ASSERT_EQ(source->GetLength(), 1000);
  EXPECT_TRUE(source->HasData());
  source->Rewind();
  std::vector<int16_t> read;
  int16_t buffer[300];
  for (;;) {
    uint32_t frames = 300;
    ASSERT_TRUE(source->Read(buffer, sizeof buffer, frames));
    if (frames == 0) break;
    read.insert(read.end(), buffer, buffer + frames);
  }
  ASSERT_EQ(read.size(), 1000u);
  EXPECT_EQ(read.front(), -100);
  EXPECT_EQ(read.back(), 899);
  EXPECT_EQ(source->GetDelivered(), 1000u);
  EXPECT_TRUE(source->HasData());  // a memory source with a wave always has data

  source->Rewind();
  EXPECT_EQ(source->GetDelivered(), 0u);
  uint32_t frames = 1;
  ASSERT_TRUE(source->Read(buffer, 2, frames));
  EXPECT_EQ(buffer[0], -100);
}

TEST(CMemorySourceTest, ReadOneByteShortFailsAndReadsNothing) {
  CountedPtr<CSoundSource> source = MakeMemorySource(Ramp16(100));
  int16_t buffer[10] = {};
  uint32_t frames = 10;
  EXPECT_FALSE(source->Read(buffer, sizeof buffer - 1, frames));
  EXPECT_EQ(frames, 0u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(source->GetDelivered(), 0u);
  frames = 10;
  EXPECT_TRUE(source->Read(buffer, sizeof buffer, frames));  // nothing was consumed by the failure
  EXPECT_EQ(buffer[0], -100);
}

TEST(CMemorySourceTest, WithoutWaveAndAfterClose) {
  CMemorySource none{CountedPtr<CWave>()};
  EXPECT_EQ(none.GetLength(), -1);
  EXPECT_EQ(none.GetWave(), nullptr);
  EXPECT_FALSE(none.HasData());

  CountedPtr<CSoundSource> source = MakeMemorySource(Ramp16(100));
  source->Close();
  int16_t buffer[10];
  uint32_t frames = 10;
  EXPECT_TRUE(source->Read(buffer, sizeof buffer, frames));
  EXPECT_EQ(frames, 0u);
}

TEST(CMemorySourceTest, GetWaveCopiesSamplesKindAndFormatWithTheDefaultSelection) {
  auto wave = Ramp16(50);
  wave->SetSelection(5, 20);
  CountedPtr<CWave> holder(wave.release());
  CMemorySource source(holder);
  const auto copy = source.GetWave();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->Data(), holder->Data());
  EXPECT_EQ(copy->Size(), 100u);
  EXPECT_EQ(copy->Kind(), kSamplesSigned);
  EXPECT_EQ(copy->SelectionStart(), 0);
  EXPECT_EQ(copy->SelectionEnd(), 49);
  EXPECT_EQ(std::memcmp(copy->Data(), holder->Data(), 100), 0);
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
  frames = 100;
  ASSERT_TRUE(shorter->Read(buffer.data(), 200, frames));
  EXPECT_EQ(frames, 10u);
}

}  // namespace
}  // namespace melvox

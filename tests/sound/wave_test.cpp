#include "sound/wave.h"

#include <vector>

#include <gtest/gtest.h>

namespace melvox {
namespace {

TEST(CWaveTest, AllocateZeroFillsAndTruncateNeverMovesTheBlock) {
  CWave wave;
  wave.SetFormat(MakePcmFormat(1, 22050, 16));
  ASSERT_TRUE(wave.Allocate(400));
  for (uint32_t i = 0; i < wave.Size(); ++i) ASSERT_EQ(wave.Data()[i], 0) << i;
  wave.SetSampleCount(200);
  wave.SetSelection(10, 150);
  const uint8_t* block = wave.Data();

  EXPECT_FALSE(wave.Truncate(200));  // n must be below the sample count
  EXPECT_TRUE(wave.Truncate(99));
  EXPECT_EQ(wave.Data(), block);
  EXPECT_EQ(wave.Size(), 200u);  // samples 0..99, two bytes each
  EXPECT_EQ(wave.SampleCount(), 200u);
  EXPECT_EQ(wave.SelectionEnd(), 150);
}

}  // namespace
}  // namespace melvox

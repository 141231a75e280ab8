#include "sound/wave.h"

#include <vector>

#include <gtest/gtest.h>

#include "sound/counted_ptr.h"

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

TEST(CWaveTest, AttachedBufferIsNotFreedByTheWave) {
  std::vector<uint8_t> owned(16, 3);
  {
    CWave wave;
    wave.Attach(owned.data());
    EXPECT_EQ(wave.Data(), owned.data());
  }  // the destructor must not free the vector's buffer (ASan reports a bad free otherwise)
  EXPECT_EQ(owned[0], 3);
}

class Counted {
 public:
  explicit Counted(int& deletions) : deletions_(deletions) {}
  virtual ~Counted() { ++deletions_; }

 private:
  int& deletions_;
};

TEST(CountedPtrTest, LastReleaseDeletesTheObjectOnce) {
  int deletions = 0;
  {
    CountedPtr<Counted> first(new Counted(deletions));
    EXPECT_EQ(first.UseCount(), 1);
    CountedPtr<Counted> second = first;
    EXPECT_EQ(first.UseCount(), 2);
    second = second;  // self-assignment keeps the count
    EXPECT_EQ(first.UseCount(), 2);
    CountedPtr<Counted> moved = std::move(second);
    EXPECT_EQ(first.UseCount(), 2);
    first.Reset();
    EXPECT_EQ(deletions, 0);
    EXPECT_EQ(moved.UseCount(), 1);
  }
  EXPECT_EQ(deletions, 1);

  CountedPtr<Counted> holder(new Counted(deletions));
  holder.Reset(new Counted(deletions));  // releases the old object, holds the new one
  EXPECT_EQ(deletions, 2);
  EXPECT_FALSE(CountedPtr<Counted>(nullptr));
}

}  // namespace
}  // namespace melvox

// Many short plays in a row, so that a race between Play, Stop, the worker thread and the device's
// clock shows up (and under ThreadSanitizer, so that an unguarded access is reported).
#include <gtest/gtest.h>

#include "audio/engine_fixture.h"
#include "audio/playback_engine.h"

namespace melvox {
namespace {

using testing::CountingOwner;
using testing::NumberedFrames;
using testing::TestDeviceScope;
using testing::WaitIdle;

constexpr int kCycles = 500;
constexpr int64_t kPatienceMs = 5000;

TEST(PlaybackEngineStressTest, PlayThenStopAtOnceNeverTellsTheOwnerAndLeavesNoDevice) {
  TestDeviceScope scope(20.0);  // 20000 frames last 45 ms: Stop always comes first
  CountedPtr<CSoundSource> source = NumberedFrames(20000);
  CPlaybackEngine engine;
  CountingOwner owner;
  engine.SetOwner(&owner);
  ASSERT_TRUE(engine.SetInput(source.Get()));
  for (int i = 0; i < kCycles; ++i) {
    ASSERT_TRUE(engine.Play(0, 20000)) << "cycle " << i;
    if (i % 2 != 0) continue;  // the next Play stops it
    engine.Stop();
    ASSERT_FALSE(engine.IsRunning()) << "cycle " << i;
    ASSERT_EQ(scope.Device().LiveDevices(), 0u) << "cycle " << i;
  }
  engine.Stop();
  engine.Stop();
  EXPECT_EQ(owner.Ended(), 0);
  EXPECT_EQ(scope.Device().LiveDevices(), 0u);
  EXPECT_EQ(scope.Device().OpenCount(), static_cast<uint32_t>(kCycles));
  EXPECT_TRUE(scope.Boxes().empty());
}

TEST(PlaybackEngineStressTest, PlayToTheNaturalEndTellsTheOwnerEveryTime) {
  TestDeviceScope scope(100.0);  // 2500 frames (3 buffers) last about 1 ms
  CountedPtr<CSoundSource> source = NumberedFrames(2500);
  CPlaybackEngine engine;
  CountingOwner owner;
  // What the owner does inside the notification, cycle by cycle.
  enum class Inside { kNothing, kStop, kDisconnect };
  Inside inside = Inside::kNothing;
  owner.action = [&] {
    if (inside == Inside::kStop) engine.Stop();
    if (inside == Inside::kDisconnect) engine.SetInput(nullptr);
  };
  engine.SetOwner(&owner);
  ASSERT_TRUE(engine.SetInput(source.Get()));
  for (int i = 0; i < kCycles; ++i) {
    inside = static_cast<Inside>(i % 3);  // read by the worker only after Play started it
    ASSERT_TRUE(engine.Play(0, 2500)) << "cycle " << i;
    ASSERT_TRUE(owner.WaitEnded(kPatienceMs)) << "cycle " << i << ": the notification deadlocked";
    // Play refuses while the worker is still inside the notification, so wait for it to leave.
    ASSERT_TRUE(WaitIdle(engine, kPatienceMs)) << "cycle " << i;
    // A Stop or a disconnection inside the notification closes the device; else the next Play does.
    ASSERT_EQ(scope.Device().LiveDevices(), inside == Inside::kNothing ? 1u : 0u) << "cycle " << i;
    if (inside == Inside::kDisconnect) {
      ASSERT_EQ(engine.GetInput(), nullptr) << "cycle " << i;
      ASSERT_TRUE(engine.SetInput(source.Get()));
    }
  }
  EXPECT_EQ(owner.Ended(), kCycles);
  engine.Stop();
  EXPECT_EQ(scope.Device().LiveDevices(), 0u);
  EXPECT_TRUE(scope.Boxes().empty());

  const uint32_t opened = scope.Device().OpenCount();
  EXPECT_FALSE(CPlaybackEngine().Play(0, 10)) << "a fresh engine without input";
  EXPECT_EQ(scope.Device().OpenCount(), opened) << "without input no device is opened";
}

}  // namespace
}  // namespace melvox

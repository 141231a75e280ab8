#include "audio/playback_engine.h"

#include <algorithm>
#include <chrono>

#include <gtest/gtest.h>

#include "audio/audio_fixture.h"

namespace melvox::testing {
namespace {

// A node between engine and source that records every position reported up the chain.
class PositionRecorder : public CSoundNode, public Log<int32_t> {
 public:
  explicit PositionRecorder(CSoundNode* source) : CSoundNode(source) {}
  void SetPosition(int32_t frame) override {
    Add(frame);
    CSoundNode::SetPosition(frame);
  }
};

// A node that passes frames through but says its length is unknown.
class UnknownLength : public CSoundNode {
 public:
  explicit UnknownLength(CSoundNode* source) : CSoundNode(source) {}
  int32_t GetLength() override { return -1; }
};

constexpr uint32_t kFramesPerBuffer = CPlaybackEngine::kBufferBytes / 2;  // 16-bit mono
// Generous bounds for "it happens": only a hung engine exceeds them.
constexpr int64_t kPatienceMs = 5000;

TEST(PlaybackEngineTest, PlaysExactlyTheFramesOfARangeFromAnyStartFrameWithRisingPositions) {
  constexpr uint32_t kLength = 12000;
  struct Case {
    int32_t start;
    uint32_t end;
  };
  // Start frames on and off the buffer grid; ends inside a buffer, on its edge, and past the sound.
  const Case cases[] = {{0, kLength}, {1, kLength}, {1023, 3000}, {1024, 1025}, {1025, 1025 + 2048}, {3001, 20000}};
  TestDeviceScope scope(50.0);
  CountedPtr<CSoundSource> source = NumberedFrames(kLength);
  PositionRecorder recorder(source.Get());
  CPlaybackEngine engine;
  CountingOwner owner;
  engine.SetOwner(&owner);
  ASSERT_TRUE(engine.SetInput(&recorder));
  for (const Case& c : cases) {
    SCOPED_TRACE("start " + std::to_string(c.start) + ", end " + std::to_string(c.end));
    scope.Device().ClearWritten();
    const size_t reported = recorder.Entries().size();
    ASSERT_TRUE(engine.Play(c.start, c.end));
    ASSERT_TRUE(owner.WaitEnded(kPatienceMs));
    ASSERT_TRUE(WaitIdle(engine, kPatienceMs));
    const std::vector<int16_t> expected = PlayedFrames(Numbered(kLength), static_cast<uint32_t>(c.start), c.end);
    EXPECT_EQ(AsFrames(scope.Device().Written()), expected);

    const std::vector<int32_t> all = recorder.Entries();
    const std::vector<int32_t> positions(all.begin() + static_cast<long>(reported), all.end());
    ASSERT_FALSE(positions.empty());
    EXPECT_GE(positions.front(), c.start);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << "a position went backwards";
    // The last pass runs after the device returned the last buffer, so every frame has been counted.
    EXPECT_EQ(positions.back(), c.start + static_cast<int32_t>(expected.size()));
  }
  EXPECT_EQ(owner.Ended(), static_cast<int>(std::size(cases)));
  EXPECT_TRUE(scope.Boxes().empty());
  // Every play has its own length: one left from the play before would make an empty range wait it.
  ASSERT_TRUE(engine.Play(50, 50));
  EXPECT_EQ(engine.GetTimeout(), -1);
  engine.Stop();
}

TEST(PlaybackEngineTest, NothingToPlayEndsWhenTheFirstWaitTimesOut) {
  TestDeviceScope scope(50.0);
  CountedPtr<CSoundSource> source = NumberedFrames(5000);
  UnknownLength unknown(source.Get());
  struct Case {
    const char* name;
    CSoundNode* input;
    int32_t start;
    uint32_t end;
  };
  const Case cases[] = {{"unknown length", &unknown, 0, 5000}, {"empty range", source.Get(), 2000, 2000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    scope.Device().ClearWritten();
    CPlaybackEngine engine;  // a new engine: its range length is still unknown (-1)
    CountingOwner owner;
    engine.SetOwner(&owner);
    ASSERT_TRUE(engine.SetInput(c.input));
    const auto before = Clock::now();
    ASSERT_TRUE(engine.Play(c.start, c.end));
    EXPECT_EQ(engine.GetTimeout(), -1);
    ASSERT_TRUE(owner.WaitEnded(kPatienceMs));
    // The wait is 999 ms on the steady clock that the test reads too, so it cannot end sooner.
    EXPECT_GE(owner.EndedAt() - before, std::chrono::milliseconds(999));
    EXPECT_TRUE(scope.Device().Written().empty());
    ASSERT_TRUE(WaitIdle(engine, kPatienceMs));
    EXPECT_EQ(owner.Ended(), 1);
  }
}

TEST(PlaybackEngineTest, DeviceErrorsAreShownAndPlaybackGoesOn) {
  struct Case {
    platform::WaveOp op;
    MMRESULT result;
    uint32_t after;  // calls that succeed before the failure
    bool drops;      // whether the frames of buffer `after` are lost
  };
  constexpr uint32_t kLength = 5000;
  const Case cases[] = {
      {platform::WaveOp::kPause, MMSYSERR_ERROR, 0, false},  // not fatal: plays on
      // The third buffer's frames are read and then dropped; Play stops queuing there, and the worker
      // refills the returned buffers with the frames after the lost ones.
      {platform::WaveOp::kPrepare, MMSYSERR_NOMEM, 2, true},
      {platform::WaveOp::kWrite, MMSYSERR_NOMEM, 2, true},
      {platform::WaveOp::kReset, MMSYSERR_ERROR, 0, false},  // at the Stop after the end
      {platform::WaveOp::kClose, MMSYSERR_ERROR, 0, false},
  };
  CountedPtr<CSoundSource> source = NumberedFrames(kLength);
  for (const Case& c : cases) {
    SCOPED_TRACE("operation " + std::to_string(static_cast<int>(c.op)));
    TestDeviceScope scope(50.0);
    CPlaybackEngine engine;
    CountingOwner owner;
    engine.SetOwner(&owner);
    ASSERT_TRUE(engine.SetInput(source.Get()));
    scope.Device().InjectFailure(c.op, c.result, c.after);
    ASSERT_TRUE(engine.Play(0, kLength));
    ASSERT_TRUE(owner.WaitEnded(kPatienceMs)) << "what was queued must still play out";
    engine.Stop();
    std::vector<int16_t> expected = PlayedFrames(Numbered(kLength), 0, kLength);
    if (c.drops) {
      const auto lost = expected.begin() + c.after * kFramesPerBuffer;
      expected.erase(lost, lost + kFramesPerBuffer);
    }
    EXPECT_EQ(AsFrames(scope.Device().Written()), expected);
    EXPECT_EQ(scope.Boxes(), std::vector<std::string>{scope.Device().ErrorText(c.result)});
    EXPECT_EQ(scope.Device().LiveDevices(), 0u) << "a device that failed to close is still let go";
  }
}

TEST(PlaybackEngineTest, ALostDeviceEndsPlaybackAtOnceWithOneMessage) {
  TestDeviceScope scope(1.0);
  CountedPtr<CSoundSource> source = NumberedFrames(300000);  // 13.6 s
  CPlaybackEngine engine;
  CountingOwner owner;
  engine.SetOwner(&owner);
  ASSERT_TRUE(engine.SetInput(source.Get()));
  ASSERT_TRUE(engine.Play(0, 300000));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(engine.DeviceLost());
  scope.Device().LoseDevices();
  ASSERT_TRUE(owner.WaitEnded(kPatienceMs)) << "the owner hears that playback is over";
  EXPECT_TRUE(engine.DeviceLost());
  engine.Stop();
  EXPECT_EQ(scope.Boxes(), std::vector<std::string>{scope.Device().ErrorText(MMSYSERR_NODRIVER)});
  EXPECT_LT(AsFrames(scope.Device().Written()).size(), 30000u) << "nothing is read after the loss";
}

}  // namespace
}  // namespace melvox::testing

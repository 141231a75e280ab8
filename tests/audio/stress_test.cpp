// Many plays and recordings in a row, with listeners coming and going, so that a race or a deadlock
// between the host's calls, the worker threads, the notifications and the device's clock shows up (and
// under ThreadSanitizer, so that an unguarded access is reported).
#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "audio/audio_fixture.h"
#include "audio/playback_engine.h"
#include "audio/sound_player.h"
#include "audio/sound_recorder.h"
#include "samples/speech_like.h"

namespace melvox::testing {
namespace {

constexpr int kCycles = 500;
constexpr int64_t kPatienceMs = 5000;

// Plays that end every way in turn: stopped at once (by Stop, or by the next Play), or played out
// with the owner doing nothing, stopping the engine or disconnecting its input inside the notification.
TEST(PlaybackStressTest, OnlyNaturalEndsTellTheOwnerAndEveryPlayOpensTheDeviceOnce) {
  TestDeviceScope scope(100.0);
  CountedPtr<CSoundSource> long_sound = NumberedFrames(300000);  // 136 ms: a Stop always comes first
  CountedPtr<CSoundSource> short_sound = NumberedFrames(2500);   // 3 buffers, about 1 ms
  CPlaybackEngine engine;
  CountingOwner owner;
  enum class End { kNextPlay, kStop, kNothingInside, kStopInside, kDisconnectInside };
  End end = End::kNextPlay;
  owner.action = [&] {  // reads `end` on the worker only after Play started it
    if (end == End::kStopInside) engine.Stop();
    if (end == End::kDisconnectInside) engine.SetInput(nullptr);
  };
  engine.SetOwner(&owner);
  int natural_ends = 0;
  for (int i = 0; i < kCycles; ++i) {
    end = static_cast<End>(i % 5);
    const bool at_once = end == End::kNextPlay || end == End::kStop;
    CSoundSource* input = at_once ? long_sound.Get() : short_sound.Get();
    // A new input stops the engine: set it only when it changes, so that the next Play stops kNextPlay.
    ASSERT_TRUE(engine.GetInput() == input || engine.SetInput(input));
    ASSERT_TRUE(engine.Play(0, at_once ? 300000 : 2500)) << "cycle " << i;
    if (end == End::kNextPlay) continue;
    if (end == End::kStop) {
      engine.Stop();
      ASSERT_FALSE(engine.IsRunning()) << "cycle " << i;
      ASSERT_EQ(scope.Device().LiveDevices(), 0u) << "cycle " << i;
      continue;
    }
    ++natural_ends;
    ASSERT_TRUE(owner.WaitEnded(kPatienceMs)) << "cycle " << i << ": the notification deadlocked";
    // Play refuses while the worker is still inside the notification, so wait for it to leave.
    ASSERT_TRUE(WaitIdle(engine, kPatienceMs)) << "cycle " << i;
    // A Stop or a disconnection inside the notification closes the device; else the next Play does.
    ASSERT_EQ(scope.Device().LiveDevices(), end == End::kNothingInside ? 1u : 0u) << "cycle " << i;
    EXPECT_TRUE(end != End::kDisconnectInside || engine.GetInput() == nullptr) << "cycle " << i;
  }
  engine.Stop();
  engine.Stop();
  EXPECT_EQ(owner.Ended(), natural_ends);
  EXPECT_EQ(scope.Device().LiveDevices(), 0u);
  EXPECT_EQ(scope.Device().OpenCount(), static_cast<uint32_t>(kCycles));
  EXPECT_TRUE(scope.Boxes().empty());
}

// The player closes its source from the end notification while the host plays again at once and
// listeners leave and come back.
TEST(PlaybackStressTest, ThePlayerTellsItsListenersEveryNaturalEnd) {
  TestDeviceScope scope(100.0);  // 2500 frames (3 buffers) last about 1 ms
  TempDir folder;
  CSoundPlayer player;
  CountingOwner a;
  CountingOwner b;
  player.AddListener(&a);
  player.AddListener(&b);
  player.Load(folder.Write("tone.wav", PcmWav16(samples::Tone(22050, 440.0f, 113, 9000.0f), 22050)).c_str(), 0);
  for (int i = 0; i < kCycles; ++i) {
    // The next play follows the end notification at once: the player itself waits for the worker
    // to leave it, and opens the file again (the natural end released the source).
    player.PlayOriginal();
    // While it plays (or already notifies), b leaves and comes back, behind a.
    player.RemoveListener(&b);
    player.AddListener(&b);
    ASSERT_TRUE(a.WaitEnded(kPatienceMs)) << "cycle " << i;
  }
  player.Stop();
  EXPECT_EQ(a.Ended(), kCycles);
  // b misses the ends that came while it was away, and hears each other one once.
  EXPECT_LE(b.Ended(), kCycles);
  EXPECT_EQ(scope.Device().LiveDevices(), 0u);
  EXPECT_TRUE(scope.Boxes().empty());
}

// Counts its calls; removes itself from the recorder on its first one when asked to.
struct Churner final : IRecorderListener {
  Churner(ISoundRecorder& r, bool remove) : recorder(r), remove_itself(remove) {}
  void OnLevel(int32_t) override {
    calls.fetch_add(1);
    if (remove_itself) recorder.RemoveListener(this);
  }
  ISoundRecorder& recorder;
  const bool remove_itself;
  std::atomic<int> calls{0};
};

// Recordings started and stopped at every point of the worker's pass, while listeners come and go as
// levels flow: every file is valid, and no listener is called once removed.
TEST(RecordingStressTest, StartStopCyclesLeaveValidFilesAndRemovedListenersAreNeverCalled) {
  // Speed 20: a buffer every 1.2 ms and about 290 levels a second per listener, far more than the 20
  // pairs a second delivered, so the queue is always full and every removal has pairs to drop.
  TestInputScope input(20.0);
  CSoundRecorder recorder;
  LevelLog steady;
  recorder.AddListener(&steady);
  int heard_by_churners = 0;
  for (int i = 0; i < 120; ++i) {
    recorder.Start();  // after a cycle that did not stop, this Start stops the recording first
    auto churner = std::make_unique<Churner>(recorder, i % 3 == 0);
    recorder.AddListener(churner.get());
    // A new listener's first turn comes after the steady listener's four queued levels (200 ms); most
    // churners go long before, with pairs queued, and some stay to be called.
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 20 == 0 ? 300 : i % 7));
    recorder.RemoveListener(churner.get());
    const int calls = churner->calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(churner->calls.load(), calls) << "called after its removal, listener " << i;
    heard_by_churners += calls;
    // Freed at once: a pair still queued for it, or a call still running, would touch freed memory.
    if (i % 4 == 0) continue;
    recorder.Stop();
    const RecordedFile file = ReadRecording(recorder.GetFileName());
    ASSERT_EQ(file.header, ExpectedHeader(static_cast<uint32_t>(file.data.size()))) << "cycle " << i;
    ASSERT_EQ(file.data.size(), recorder.RecordedBytes()) << "cycle " << i;
  }
  recorder.Stop();
  EXPECT_GT(heard_by_churners, 0) << "the churners were never called: the test proves nothing";
  EXPECT_GT(steady.Count(), 10u) << "the steady listener kept hearing";
  EXPECT_EQ(input.Device().LiveDevices(), 0u);
  recorder.RemoveListener(&steady);
}

}  // namespace
}  // namespace melvox::testing

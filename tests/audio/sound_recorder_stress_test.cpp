// Many recordings in a row with listeners attached, and listeners coming and going while levels flow,
// so that a race between the host's thread, the capture thread, the notification thread and the
// device's clock shows up (and under ThreadSanitizer, so that an unguarded access is reported).
#include <atomic>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "audio/recorder_fixture.h"
#include "audio/sound_recorder.h"

namespace melvox {
namespace {

using testing::ExpectedHeader;
using testing::LevelLog;
using testing::ReadRecording;
using testing::TestInputScope;

TEST(SoundRecorderStressTest, TwoHundredStartStopCyclesLeaveAValidFileEveryTime) {
  // Speed 50: a buffer every 0.5 ms, so recordings of 0 to 4 ms hold from none to several buffers
  // and stops meet the worker at every point of its pass.
  TestInputScope input(50.0);
  CSoundRecorder recorder;
  LevelLog first;
  LevelLog second;
  recorder.AddListener(&first);
  recorder.AddListener(&second);
  for (int i = 0; i < 200; ++i) {
    recorder.Start();
    if (i % 5 != 0) std::this_thread::sleep_for(std::chrono::milliseconds(i % 5));
    if (i % 3 != 0) recorder.Stop();  // else the next Start stops it
    if (i % 3 != 0) {
      const testing::RecordedFile file = ReadRecording(recorder.GetFileName());
      ASSERT_EQ(file.header, ExpectedHeader(static_cast<uint32_t>(file.data.size()))) << "cycle " << i;
      ASSERT_EQ(file.data.size(), recorder.RecordedBytes()) << "cycle " << i;
    }
  }
  recorder.Stop();
  EXPECT_EQ(input.Device().LiveDevices(), 0u);
  recorder.RemoveListener(&first);
  recorder.RemoveListener(&second);
}

// Counts its calls; removes itself from the recorder on its first one when asked to.
class Churner final : public IRecorderListener {
 public:
  Churner(ISoundRecorder& recorder, bool remove_itself) : recorder_(recorder), remove_itself_(remove_itself) {}
  void OnLevel(int32_t) override {
    calls_.fetch_add(1);
    if (remove_itself_) recorder_.RemoveListener(this);
  }
  int Calls() const { return calls_.load(); }

 private:
  ISoundRecorder& recorder_;
  const bool remove_itself_;
  std::atomic<int> calls_{0};
};

TEST(SoundRecorderStressTest, ListenersAddedAndRemovedWhileLevelsFlowAreNeverCalledOnceRemoved) {
  // Speed 20: about 290 levels a second per listener, far more than the 20 pairs a second delivered,
  // so the queue is always full and every removal has pairs to drop.
  TestInputScope input(20.0);
  CSoundRecorder recorder;
  LevelLog steady;
  recorder.AddListener(&steady);
  recorder.Start();
  int heard_by_churners = 0;
  for (int i = 0; i < 30; ++i) {
    auto churner = std::make_unique<Churner>(recorder, i % 3 == 0);
    recorder.AddListener(churner.get());
    // A new listener's first turn comes after the steady listener's four queued levels (200 ms); most
    // churners go long before, with pairs queued, and some stay to be called.
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 5 == 0 ? 300 : 5 + i % 7));
    recorder.RemoveListener(churner.get());
    const int calls = churner->Calls();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(churner->Calls(), calls) << "called after its removal, listener " << i;
    heard_by_churners += calls;
    // Freed at once: a pair still queued for it, or a call still running, would touch freed memory.
  }
  recorder.Stop();
  EXPECT_GT(heard_by_churners, 0) << "the churners were never called: the test proves nothing";
  EXPECT_GT(steady.Count(), 10u) << "the steady listener kept hearing";
  recorder.RemoveListener(&steady);
}

}  // namespace
}  // namespace melvox

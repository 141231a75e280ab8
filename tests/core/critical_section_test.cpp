#include "core/thread.h"

#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "core/critical_section.h"
#include "platform/event.h"

namespace melvox {
namespace {

// A worker whose body blocks until released and counts its runs.
class GatedThread : public CThread {
 public:
  ~GatedThread() override {
    release.Set();
    WaitForEnd();
  }
  uint32_t Run() override {
    ++runs;
    release.Wait(platform::kWaitInfinite);
    return 17;
  }
  void Join() { WaitForEnd(); }

  platform::Event release{platform::EventMode::kAutoReset};
  std::atomic<int> runs{0};
};

// The platform thread's own states are checked in tests/platform; here what CThread adds: a thread
// that has ended is let go by the next Start.
TEST(CThreadTest, StartRefusesWhileRunningAndRestartsAfterTheEnd) {
  GatedThread thread;
  ASSERT_TRUE(thread.Start());
  EXPECT_EQ(thread.ExitCode(), STILL_ACTIVE);
  EXPECT_FALSE(thread.Start()) << "a second Start while the first thread runs must not make a thread";
  thread.release.Set();
  thread.Join();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.ExitCode(), 17u);

  ASSERT_TRUE(thread.Start()) << "an ended thread is let go and a new one made";
  thread.release.Set();
  thread.Join();
  EXPECT_EQ(thread.runs.load(), 2);
}

TEST(CriticalSectionTest, ExcludesOtherThreadsAndToleratesAnExtraLeave) {
  CCriticalSection section;
  section.Enter();
  section.Leave();
  section.Leave();  // the flag is clear: nothing is unlocked twice

  long counter = 0;
  const auto add = [&] {
    for (int i = 0; i < 20000; ++i) {
      CLock lock(section);
      ++counter;
    }
  };
  std::thread a(add);
  std::thread b(add);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000L) << "increments were lost: the lock did not exclude";

  // A section destroyed while entered is left first (a plain mutex would be destroyed locked).
  auto entered = std::make_unique<CCriticalSection>();
  entered->Enter();
  entered.reset();
}

}  // namespace
}  // namespace melvox

#include "core/thread.h"

#include <atomic>

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

TEST(CThreadTest, StartRefusesWhileRunningAndRestartsAfterTheEnd) {
  GatedThread thread;
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.ExitCode(), 0u);
  ASSERT_TRUE(thread.Start());
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_EQ(thread.ExitCode(), STILL_ACTIVE);
  EXPECT_EQ(STILL_ACTIVE, 259u);
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
  constexpr int kRounds = 20000;
  class Adder : public CThread {
   public:
    Adder(CCriticalSection& s, long& c) : section_(s), counter_(c) {}
    ~Adder() override { WaitForEnd(); }
    uint32_t Run() override {
      for (int i = 0; i < kRounds; ++i) {
        CLock lock(section_);
        ++counter_;
      }
      return 0;
    }

   private:
    CCriticalSection& section_;
    long& counter_;
  };
  {
    Adder a(section, counter);
    Adder b(section, counter);
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(b.Start());
  }
  EXPECT_EQ(counter, 2L * kRounds) << "increments were lost: the lock did not exclude";

  // A section destroyed while entered is left first (a plain mutex would be destroyed locked).
  auto entered = std::make_unique<CCriticalSection>();
  entered->Enter();
  entered.reset();
}

}  // namespace
}  // namespace melvox

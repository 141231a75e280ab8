// Events and threads: which waits an event satisfies, timeouts, and a thread's life and exit code.
#include "platform/thread.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/event.h"

namespace melvox::platform {
namespace {

using Clock = std::chrono::steady_clock;

TEST(EventTest, WaitsTakeTheLowestSignalledEventAndResetOnlyThatOneIfAutoReset) {
  Event stop(EventMode::kManualReset, true);
  Event done_a(EventMode::kAutoReset);
  Event done_b(EventMode::kAutoReset, true);
  Event* events[] = {&stop, &done_a, &done_b};
  EXPECT_EQ(WaitForAny(events, 3, 0), 0);
  EXPECT_EQ(WaitForAny(events, 3, 0), 0) << "a manual-reset event stays set until Reset";
  stop.Reset();
  done_a.Set();
  EXPECT_EQ(WaitForAny(events, 3, 0), 1);
  EXPECT_TRUE(done_b.IsSet()) << "only the event that was reported may be consumed";
  EXPECT_TRUE(done_b.Wait(0));
  EXPECT_FALSE(done_b.Wait(0)) << "an auto-reset event must be reset by the wait that saw it";
  EXPECT_EQ(WaitForAny(events, 3, 0), kWaitTimeout);
}

TEST(EventTest, TimeOutNeverReturnsEarlyAndASetFromAnotherThreadWakesTheWaiter) {
  Event event(EventMode::kAutoReset);
  Event* events[] = {&event};
  const auto before = Clock::now();
  EXPECT_EQ(WaitForAny(events, 1, 40), kWaitTimeout);
  // The deadline is measured on the same steady clock, so the wait is never shorter.
  EXPECT_GE(Clock::now() - before, std::chrono::milliseconds(40));

  std::thread setter([&event] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    event.Set();
  });
  EXPECT_EQ(WaitForAny(events, 1, kWaitInfinite), 0);
  setter.join();
  EXPECT_FALSE(event.IsSet());
}

TEST(PlatformThreadTest, ReportsStillActiveUntilTheBodyReturnsThenItsResult) {
  Event release(EventMode::kManualReset);
  Thread thread;
  EXPECT_EQ(thread.ExitCode(), 0u) << "no thread yet";
  ASSERT_TRUE(thread.Start([&release] {
    release.Wait(kWaitInfinite);
    return 42u;
  }));
  EXPECT_EQ(thread.ExitCode(), STILL_ACTIVE);
  EXPECT_FALSE(thread.Wait(20)) << "the body is still blocked";
  EXPECT_FALSE(thread.Start([] { return 0u; })) << "a held thread must be closed before another starts";

  release.Set();
  EXPECT_TRUE(thread.Wait(-1));
  EXPECT_EQ(thread.ExitCode(), 42u);

  // Closed, it starts again; a body that waits on its own thread gets false at once instead of hanging.
  thread.Close();
  std::atomic<bool> self_wait_returned{false};
  ASSERT_TRUE(thread.Start([&] {
    self_wait_returned = thread.IsCurrent() && !thread.Wait(-1);
    return 7u;
  }));
  EXPECT_TRUE(thread.Wait(-1));
  EXPECT_EQ(thread.ExitCode(), 7u);
  EXPECT_TRUE(self_wait_returned.load());
  EXPECT_FALSE(thread.IsCurrent());
}

TEST(PlatformThreadTest, DestroyingARunningThreadDetachesItAndItRunsOn) {
  auto release = std::make_shared<Event>(EventMode::kManualReset);
  auto finished = std::make_shared<Event>(EventMode::kManualReset);
  {
    Thread thread;
    ASSERT_TRUE(thread.Start([release, finished] {
      release->Wait(kWaitInfinite);
      finished->Set();
      return 0u;
    }));
  }
  release->Set();
  EXPECT_TRUE(finished->Wait(5000)) << "the detached thread must still run to its end";
}

}  // namespace
}  // namespace melvox::platform

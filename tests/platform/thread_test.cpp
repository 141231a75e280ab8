#include "platform/thread.h"

#include <atomic>
#include <memory>

#include <gtest/gtest.h>

#include "platform/event.h"

namespace melvox::platform {
namespace {

TEST(PlatformThreadTest, ReportsStillActiveUntilTheBodyReturnsThenItsResult) {
  Event release(EventMode::kManualReset);
  Thread thread;
  EXPECT_EQ(thread.ExitCode(), 0u) << "no thread yet";
  ASSERT_TRUE(thread.Start([&release] {
    release.Wait(kWaitInfinite);
    return 42u;
  }));
  EXPECT_EQ(thread.ExitCode(), STILL_ACTIVE);
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_FALSE(thread.Wait(20)) << "the body is still blocked";
  EXPECT_FALSE(thread.Start([] { return 0u; })) << "a held thread must be closed before another starts";

  release.Set();
  EXPECT_TRUE(thread.Wait(-1));
  EXPECT_EQ(thread.ExitCode(), 42u);
  EXPECT_FALSE(thread.IsRunning());

  thread.Close();
  ASSERT_TRUE(thread.Start([] { return 7u; }));
  EXPECT_TRUE(thread.Wait(-1));
  EXPECT_EQ(thread.ExitCode(), 7u);
}

TEST(PlatformThreadTest, WaitingOnItselfReturnsInsteadOfHanging) {
  Thread thread;
  std::atomic<int> self_wait{-1};
  std::atomic<bool> current{false};
  ASSERT_TRUE(thread.Start([&] {
    current = thread.IsCurrent();
    self_wait = thread.Wait(-1) ? 1 : 0;
    return 0u;
  }));
  EXPECT_TRUE(thread.Wait(-1));
  EXPECT_EQ(self_wait.load(), 0);
  EXPECT_TRUE(current.load());
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

#include "platform/event.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace melvox::platform {
namespace {

using Clock = std::chrono::steady_clock;

TEST(EventTest, AutoResetIsConsumedByOneWaitManualStaysSet) {
  Event automatic(EventMode::kAutoReset, true);
  Event manual(EventMode::kManualReset, true);
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Wait(0)) << "an auto-reset event must be reset by the wait that saw it";
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0)) << "a manual-reset event stays set until Reset";
  manual.Reset();
  EXPECT_FALSE(manual.Wait(0));
  EXPECT_FALSE(manual.IsSet());
}

TEST(EventTest, WaitForAnyReturnsLowestSignalledIndexAndResetsOnlyThat) {
  Event stop(EventMode::kManualReset);
  Event done_a(EventMode::kAutoReset);
  Event done_b(EventMode::kAutoReset);
  Event* events[] = {&stop, &done_a, &done_b};

  done_b.Set();
  done_a.Set();
  EXPECT_EQ(WaitForAny(events, 3, 0), 1);
  EXPECT_TRUE(done_b.IsSet()) << "only the event that was reported may be consumed";
  EXPECT_EQ(WaitForAny(events, 3, 0), 2);
  EXPECT_EQ(WaitForAny(events, 3, 0), kWaitTimeout);

  stop.Set();
  done_a.Set();
  EXPECT_EQ(WaitForAny(events, 3, 0), 0);
  EXPECT_EQ(WaitForAny(events, 3, 0), 0) << "a manual-reset event keeps winning";
  EXPECT_TRUE(done_a.IsSet());
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

}  // namespace
}  // namespace melvox::platform

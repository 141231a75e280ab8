#include "core/critical_section.h"

#include <memory>
#include <thread>

#include <gtest/gtest.h>

namespace melvox {
namespace {

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

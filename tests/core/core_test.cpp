// The core's errors, what reaches the host of them, and the critical section.
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "core/critical_section.h"
#include "core/mv_exception.h"
#include "core/public_call.h"
#include "melvox/errors.h"
#include "support/thrown.h"

namespace melvox {
namespace {

// Every code from 1 to 14 has a text of its own; the texts that look like numbers keep their codes, and
// codes outside the table fall back to "Unexpected error" with code 0.
TEST(CMVExceptionTest, EveryCodeHasItsTextAndUnknownCodesFallBack) {
  std::set<std::string> texts;
  for (int32_t code = 1; code <= 14; ++code) {
    const CMVException error(code);
    EXPECT_EQ(error.GetCode(), code);
    EXPECT_STRNE(error.GetMessage(), "Unexpected error") << code;
    texts.insert(error.GetMessage());
  }
  EXPECT_EQ(texts.size(), 14u) << "two codes share a text";
  EXPECT_STREQ(CMVException(7).GetMessage(), "1001");
  EXPECT_STREQ(CMVException(1001).GetMessage(), "1002");
  EXPECT_STREQ(CMVException(1003).GetMessage(), "1003");
  EXPECT_EQ(CMVException(1003).GetCode(), 1003);
  for (const int32_t unknown : {1002, 0, 15, -1}) {
    EXPECT_STREQ(CMVException(unknown).GetMessage(), "Unexpected error") << unknown;
    EXPECT_EQ(CMVException(unknown).GetCode(), 0) << unknown;
  }
}

// What reaches the host from a public operation, for every kind of failure inside it.
TEST(GuardPublicCallTest, TranslatesEveryFailureToCMsgException) {
  auto text_of = [](auto body) { return testing::HostMessageOf([&] { GuardPublicCall(body); }); };
  EXPECT_EQ(text_of([] { throw CMVException(kErrCannotOpenFile); }), "Cannot open file");
  EXPECT_EQ(text_of([] { throw CMVException(1002); }), "Unexpected error");
  EXPECT_EQ(text_of([] { throw CMsgException("Nothing to play."); }), "Nothing to play.");
  EXPECT_EQ(text_of([] { throw 0; }), "Unknown error.");  // the default text of CMsgException
  EXPECT_EQ(text_of([] { throw std::runtime_error("inner detail"); }), "Unknown error.");
  EXPECT_EQ(text_of([] {}), "(nothing thrown)");
  EXPECT_EQ(GuardPublicCall([] { return 42; }), 42);
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

#include "melvox/errors.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "core/mv_exception.h"
#include "core/public_call.h"
#include "support/thrown.h"

namespace melvox {
namespace {

struct CodeText {
  int32_t code;
  const char* text;
  int32_t stored_code;
};

// The whole table, including the texts that look like numbers and the codes outside it.
TEST(CMVExceptionTest, EveryCodeHasItsTextAndUnknownCodesFallBack) {
  const CodeText table[] = {
      {1, "Requested file not found on server", 1},
      {2, "Incorrect response from server", 2},
      {3, "Sockets could not init", 3},
      {4, "Sockets don't inited", 4},
      {5, "Socket timeout exceeded", 5},
      {6, "Host to connect not found", 6},
      {7, "1001", 7},
      {8, "Unsupported wave format", 8},
      {9, "Incorrect wave format", 9},
      {10, "Cannot open file", 10},
      {11, "File I/O error", 11},
      {12, "File not opened", 12},
      {13, "Could not init audio system", 13},
      {14, "Audio system cannot play sample - unknown samples number", 14},
      {1001, "1002", 1001},
      {1003, "1003", 1003},
      {1002, "Unexpected error", 0},
      {0, "Unexpected error", 0},
      {15, "Unexpected error", 0},
      {-1, "Unexpected error", 0},
  };
  for (const CodeText& row : table) {
    const CMVException error(row.code);
    ASSERT_NE(error.GetMessage(), nullptr) << row.code;
    EXPECT_STREQ(error.GetMessage(), row.text) << row.code;
    EXPECT_EQ(error.GetCode(), row.stored_code) << row.code;
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

}  // namespace
}  // namespace melvox

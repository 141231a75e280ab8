// The text of the X11 message box: lines wrapped for the dialog, and UTF-8 brought to Latin-1.
#include "platform/x11_message_box.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace melvox::platform {
namespace {

using Lines = std::vector<std::string>;

TEST(X11MessageBoxText, WrapsAtSpacesNewlinesAndTheLineLimit) {
  EXPECT_EQ(WrapMessageText("", 10, 5), Lines{""});
  EXPECT_EQ(WrapMessageText("one\r\n\ntwo\tthree", 10, 5), (Lines{"one", "", "two three"}));
  EXPECT_EQ(WrapMessageText("the quick brown fox", 10, 5), (Lines{"the quick", "brown fox"}));
  EXPECT_EQ(WrapMessageText("abcdefghijklmnopqrstuvw xy", 10, 5), (Lines{"abcdefghij", "klmnopqrst", "uvw xy"}));
  EXPECT_EQ(WrapMessageText("exactly ten", 11, 5), Lines{"exactly ten"});
  EXPECT_EQ(WrapMessageText("a\nb\nc\nd", 10, 3), (Lines{"a", "b", "..."}));
  // A very long text stops being read once the dialog is full.
  EXPECT_EQ(WrapMessageText(std::string(1000000, 'x'), 60, 40).size(), 40u);
}

TEST(X11MessageBoxText, Latin1KeepsWhatItCanShow) {
  EXPECT_EQ(Latin1OfUtf8("plain"), "plain");
  EXPECT_EQ(Latin1OfUtf8("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(Latin1OfUtf8("\xE2\x82\xAC 5"), "? 5");  // beyond Latin-1
  EXPECT_EQ(Latin1OfUtf8("a\xC3"), "a?");            // cut short
  EXPECT_EQ(Latin1OfUtf8("\xA9\xC3x"), "??x");       // stray continuation, broken sequence
}

}  // namespace
}  // namespace melvox::platform

// What the X11 backend computes without a server: typed characters from the keyboard mapping, the
// message box's text, and window pixels in the server's image formats, split into requests.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/x11_keys.h"
#include "platform/x11_message_box.h"
#include "platform/x11_pixels.h"

namespace melvox::platform {
namespace {

using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

TEST(X11Keys, ModifiersPickTheKeysymAndItsCharacter) {
  constexpr uint16_t kNumLock = 0x10;  // Mod2, where servers usually put it
  constexpr uint32_t kKeypadAdd = 0xFFAB, kKeypadSubtract = 0xFFAD, kKeypadEnd = 0xFF9C, kKeypadOne = 0xFFB1;
  // Keycodes 8 .. 16, two keysyms each, as a server with a US layout gives them.
  const X11Keymap keymap(8, 2,
                         {'a', 'A',                          // 8
                          'b', 0,                            // 9: one keysym
                          '=', '+',                          // 10
                          '-', '_',                          // 11
                          kKeypadAdd, kKeypadAdd,            // 12
                          kKeypadSubtract, kKeypadSubtract,  // 13
                          kKeypadEnd, kKeypadOne,            // 14
                          kXKReturn, 0,                      // 15
                          0xE9, 0xC9},                       // 16: e acute
                         kNumLock);
  const auto typed = [&keymap](uint8_t keycode, uint16_t state) {
    return Latin1OfKeysym(keymap.Keysym(keycode, state));
  };
  EXPECT_EQ(typed(8, 0), 'a');
  EXPECT_EQ(typed(8, kX11ShiftMask), 'A');
  EXPECT_EQ(typed(8, kX11LockMask), 'A');
  EXPECT_EQ(typed(9, kX11ShiftMask), 'B');  // the upper case of a lone letter
  EXPECT_EQ(typed(16, kX11LockMask), 0xC9);
  // '+' and '-' from the main keyboard and from the keypad, with or without NumLock.
  EXPECT_EQ(typed(10, kX11ShiftMask), '+');
  EXPECT_EQ(typed(11, 0), '-');
  EXPECT_EQ(typed(12, 0), '+');
  EXPECT_EQ(typed(13, kNumLock), '-');
  // A keypad digit needs NumLock; Shift undoes it.
  EXPECT_EQ(typed(14, 0), -1);
  EXPECT_EQ(typed(14, kNumLock), '1');
  EXPECT_EQ(typed(14, kNumLock | kX11ShiftMask), -1);
  EXPECT_EQ(typed(15, kX11ShiftMask), '\r');
  EXPECT_EQ(keymap.PlainKeysym(8), uint32_t{'a'});
  // Keycodes outside the map, and an empty map, type nothing.
  EXPECT_EQ(keymap.Keysym(7, 0), 0u);
  EXPECT_EQ(keymap.Keysym(17, 0), 0u);
  EXPECT_EQ(X11Keymap().Keysym(8, 0), 0u);

  EXPECT_EQ(Latin1OfKeysym(kXKEscape), 0x1B);
  EXPECT_EQ(Latin1OfKeysym(kXKKeypadEnter), '\r');
  EXPECT_EQ(Latin1OfKeysym(0xFFB7), '7');
  EXPECT_EQ(Latin1OfKeysym(0x20AC), -1);  // the euro sign is no Latin-1 character
  EXPECT_EQ(Latin1OfKeysym(0xFFE1), -1);  // Shift itself
}

TEST(X11MessageBoxText, WrapsAtSpacesNewlinesAndTheLineLimitInLatin1) {
  EXPECT_EQ(WrapMessageText("", 10, 5), Lines{""});
  EXPECT_EQ(WrapMessageText("one\r\n\ntwo\tthree", 10, 5), (Lines{"one", "", "two three"}));
  EXPECT_EQ(WrapMessageText("the quick brown fox", 10, 5), (Lines{"the quick", "brown fox"}));
  EXPECT_EQ(WrapMessageText("abcdefghijklmnopqrstuvw xy", 10, 5), (Lines{"abcdefghij", "klmnopqrst", "uvw xy"}));
  EXPECT_EQ(WrapMessageText("exactly ten", 11, 5), Lines{"exactly ten"});
  EXPECT_EQ(WrapMessageText("a\nb\nc\nd", 10, 3), (Lines{"a", "b", "..."}));
  // A very long text stops being read once the dialog is full.
  EXPECT_EQ(WrapMessageText(std::string(1000000, 'x'), 60, 40).size(), 40u);

  // UTF-8 keeps what Latin-1 can show.
  EXPECT_EQ(Latin1OfUtf8("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(Latin1OfUtf8("\xE2\x82\xAC 5"), "? 5");  // beyond Latin-1
  EXPECT_EQ(Latin1OfUtf8("a\xC3"), "a?");            // cut short
  EXPECT_EQ(Latin1OfUtf8("\xA9\xC3x"), "??x");       // stray continuation, broken sequence
}

TEST(X11Pixels, ConvertsToEachByteOrderDepthAndMask) {
  // Two rows of three pixels with distinct channels; the conversions read columns 1 and 2.
  Bitmap sample(3, 2, RGB(0, 0, 0));
  sample.SetPixel(1, 0, RGB(0x12, 0x34, 0x56));
  sample.SetPixel(2, 0, RGB(0xFF, 0x80, 0x01));
  sample.SetPixel(1, 1, RGB(0xAB, 0xCD, 0xEF));
  const auto convert = [&sample](const X11PixelFormat& format, const RECT& rect) {
    Bytes out{0xEE};  // stale contents are replaced
    ConvertPixels(sample, rect, format, out);
    return out;
  };
  X11PixelFormat format;  // depth 24 in 32 bits, least significant byte first: B, G, R, padding
  EXPECT_TRUE(IsSupportedFormat(format));
  EXPECT_EQ(convert(format, RECT{1, 0, 3, 2}), (Bytes{0x56, 0x34, 0x12, 0, 0x01, 0x80, 0xFF, 0,  //
                                                      0xEF, 0xCD, 0xAB, 0, 0, 0, 0, 0}));
  format.msb_first = true;
  EXPECT_EQ(convert(format, RECT{1, 0, 2, 1}), (Bytes{0, 0x12, 0x34, 0x56}));
  // A depth-32 visual: the bits outside the colour masks are alpha, set so the pixels are opaque.
  format.depth = 32;
  EXPECT_EQ(convert(format, RECT{1, 0, 2, 1}), (Bytes{0xFF, 0x12, 0x34, 0x56}));

  // 5-6-5 in 16 bits keeps the high bits of each channel (0x12, 0x34, 0x56 become 2, 13, 10); rows are
  // padded to 32 bits.
  const Bytes packed = convert(X11PixelFormat{16, 16, 32, false, 0xF800, 0x07E0, 0x001F}, RECT{0, 0, 3, 1});
  ASSERT_EQ(packed.size(), 8u);
  EXPECT_EQ(packed[2] | packed[3] << 8, 2 << 11 | 13 << 5 | 10);
  EXPECT_EQ(packed[6], 0);  // padding
  // 24 bits per pixel: three bytes each, the row padded from 9 to 12 bytes.
  const X11PixelFormat packed24{24, 24, 32, false, 0xFF0000, 0xFF00, 0xFF};
  EXPECT_EQ(ImageRowBytes(packed24, 3), 12u);
  EXPECT_EQ(convert(packed24, RECT{1, 0, 2, 1}), (Bytes{0x56, 0x34, 0x12, 0}));
  // 10 bits per channel repeat the high bits of our 8: 0xAB becomes 0x2AE.
  const Bytes wide = convert(X11PixelFormat{30, 32, 32, false, 0x3FF00000, 0xFFC00, 0x3FF}, RECT{1, 1, 2, 2});
  EXPECT_EQ((uint32_t{wide[3]} << 24 | uint32_t{wide[2]} << 16 | uint32_t{wide[1]} << 8 | wide[0]) >> 20, 0x2AEu);

  EXPECT_FALSE(IsSupportedFormat(X11PixelFormat{8, 8, 32, false, 0xE0, 0x1C, 0x03}));          // 8 bits per pixel
  EXPECT_FALSE(IsSupportedFormat(X11PixelFormat{24, 32, 32, false, 0xF0F000, 0xF00, 0xF}));    // holes in a mask
  EXPECT_FALSE(IsSupportedFormat(X11PixelFormat{16, 32, 32, false, 0xFF0000, 0xFF00, 0xFF}));  // outside the depth

  // Uploads go in bands that fit the smallest maximum request a server may have (65535 units of 4
  // bytes) with the request's 24-byte header: 1000 pixels of 4 bytes a row.
  EXPECT_EQ(RowsPerBand(X11PixelFormat{}, 1000, 262140), 65);
  EXPECT_EQ(RowsPerBand(X11PixelFormat{}, 1000, 4024), 1);
  EXPECT_EQ(RowsPerBand(X11PixelFormat{}, 1000, 100), 1);  // never 0: a row always goes out
  EXPECT_EQ(RowsPerBand(X11PixelFormat{}, 0, 262140), Bitmap::kMaxSide);
}

}  // namespace
}  // namespace melvox::platform

// Typed characters from the server's keyboard mapping, with Shift, Caps Lock and NumLock.
#include "platform/x11_keys.h"

#include <gtest/gtest.h>

namespace melvox::platform {
namespace {

constexpr uint16_t kNumLock = 0x10;  // Mod2, where servers usually put it
constexpr uint32_t kKeypadAdd = 0xFFAB;
constexpr uint32_t kKeypadSubtract = 0xFFAD;
constexpr uint32_t kKeypadEnd = 0xFF9C;
constexpr uint32_t kKeypadOne = 0xFFB1;

// Keycodes 8 .. 16, two keysyms each, as a server with a US layout gives them.
X11Keymap UsKeyboard() {
  return X11Keymap(8, 2,
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
}

int32_t Typed(const X11Keymap& keymap, uint8_t keycode, uint16_t state) {
  return Latin1OfKeysym(keymap.Keysym(keycode, state));
}

TEST(X11Keys, ModifiersPickTheKeysymAndItsCharacter) {
  const X11Keymap keymap = UsKeyboard();
  EXPECT_EQ(Typed(keymap, 8, 0), 'a');
  EXPECT_EQ(Typed(keymap, 8, kX11ShiftMask), 'A');
  EXPECT_EQ(Typed(keymap, 8, kX11LockMask), 'A');
  EXPECT_EQ(Typed(keymap, 9, kX11ShiftMask), 'B');  // the upper case of a lone letter
  EXPECT_EQ(Typed(keymap, 16, kX11LockMask), 0xC9);
  // '+' and '-' from the main keyboard and from the keypad, with or without NumLock.
  EXPECT_EQ(Typed(keymap, 10, kX11ShiftMask), '+');
  EXPECT_EQ(Typed(keymap, 11, 0), '-');
  EXPECT_EQ(Typed(keymap, 12, 0), '+');
  EXPECT_EQ(Typed(keymap, 13, kNumLock), '-');
  // A keypad digit needs NumLock; Shift undoes it.
  EXPECT_EQ(Typed(keymap, 14, 0), -1);
  EXPECT_EQ(Typed(keymap, 14, kNumLock), '1');
  EXPECT_EQ(Typed(keymap, 14, kNumLock | kX11ShiftMask), -1);
  EXPECT_EQ(Typed(keymap, 15, kX11ShiftMask), '\r');
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

}  // namespace
}  // namespace melvox::platform

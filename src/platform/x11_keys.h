// Turning X key presses into characters: the server's keyboard mapping (keycode -> keysyms) and the
// Latin-1 character a keysym types.
#pragma once

#include <cstdint>
#include <vector>

namespace melvox::platform {

// Modifier bits of a key event's state, as the X protocol numbers them.
constexpr uint16_t kX11ShiftMask = 0x0001;
constexpr uint16_t kX11LockMask = 0x0002;

// The keysyms of every keycode, as GetKeyboardMapping returns them, and the modifier bit NumLock is on.
// Only the first group (the first two keysyms of a keycode) is used.
//
// Threading: not guarded; the window thread (or a message box's own thread) owns its map.
class X11Keymap {
 public:
  X11Keymap() = default;
  // keysyms holds keysyms_per_keycode entries for each keycode from min_keycode up; numlock_mask is
  // the state bit of NumLock (0 when no modifier holds it).
  X11Keymap(uint8_t min_keycode, uint8_t keysyms_per_keycode, std::vector<uint32_t> keysyms, uint16_t numlock_mask);

  // The keysym a key press types, by the usual rules: Shift selects the second keysym (a keycode with
  // only one gives the upper case of a letter); Caps Lock alone gives the upper case of a letter; with
  // NumLock on, a keypad key whose second keysym is a keypad keysym types that one (Shift undoes it).
  // 0 (NoSymbol) for an unknown keycode.
  uint32_t Keysym(uint8_t keycode, uint16_t state) const;
  // The first keysym of a keycode: what a key is called, whatever the modifiers.
  uint32_t PlainKeysym(uint8_t keycode) const;

 private:
  uint8_t min_keycode_ = 0;
  uint8_t per_keycode_ = 0;
  std::vector<uint32_t> keysyms_;
  uint16_t numlock_mask_ = 0;
};

// Keysyms the windows and the message box look for.
constexpr uint32_t kXKReturn = 0xFF0D;
constexpr uint32_t kXKEscape = 0xFF1B;
constexpr uint32_t kXKKeypadEnter = 0xFF8D;
constexpr uint32_t kXKSpace = 0x0020;
constexpr uint32_t kXKNumLock = 0xFF7F;

// The Latin-1 character a keysym types (0 .. 255), or -1 when it types none. Printable Latin-1 keysyms
// are their own code; the keypad's digits, operators, point, space and Enter type what their main
// keyboard keys type; Return and Enter give 13, Tab 9, BackSpace 8, Escape 27, Delete 127.
int32_t Latin1OfKeysym(uint32_t keysym);

}  // namespace melvox::platform

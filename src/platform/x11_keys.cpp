#include "platform/x11_keys.h"

#include <cstddef>
#include <utility>

namespace melvox::platform {
namespace {

bool IsKeypad(uint32_t keysym) { return keysym >= 0xFF80 && keysym <= 0xFFBD; }

// Latin-1 letters: a-z and the accented letters 0xE0 .. 0xFE except the division sign 0xF7.
bool IsLower(uint32_t keysym) {
  return (keysym >= 'a' && keysym <= 'z') || (keysym >= 0xE0 && keysym <= 0xFE && keysym != 0xF7);
}
uint32_t Upper(uint32_t keysym) { return IsLower(keysym) ? keysym - 0x20 : keysym; }

}  // namespace

X11Keymap::X11Keymap(uint8_t min_keycode, uint8_t keysyms_per_keycode, std::vector<uint32_t> keysyms,
                     uint16_t numlock_mask)
    : min_keycode_(min_keycode),
      per_keycode_(keysyms_per_keycode),
      keysyms_(std::move(keysyms)),
      numlock_mask_(numlock_mask) {}

uint32_t X11Keymap::PlainKeysym(uint8_t keycode) const {
  if (per_keycode_ == 0 || keycode < min_keycode_) return 0;
  const size_t index = static_cast<size_t>(keycode - min_keycode_) * per_keycode_;
  return index < keysyms_.size() ? keysyms_[index] : 0;
}

uint32_t X11Keymap::Keysym(uint8_t keycode, uint16_t state) const {
  const uint32_t first = PlainKeysym(keycode);
  if (first == 0) return 0;
  const size_t index = static_cast<size_t>(keycode - min_keycode_) * per_keycode_ + 1;
  uint32_t second = per_keycode_ >= 2 && index < keysyms_.size() ? keysyms_[index] : 0;
  if (second == 0) second = Upper(first);
  const bool shift = (state & kX11ShiftMask) != 0;
  if (numlock_mask_ != 0 && (state & numlock_mask_) != 0 && IsKeypad(second)) return shift ? first : second;
  if (shift) return second;
  if ((state & kX11LockMask) != 0) return Upper(first);
  return first;
}

int32_t Latin1OfKeysym(uint32_t keysym) {
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) return static_cast<int32_t>(keysym);
  if (keysym >= 0xFFB0 && keysym <= 0xFFB9) return static_cast<int32_t>('0' + (keysym - 0xFFB0));
  if (keysym >= 0xFFAA && keysym <= 0xFFAF) return static_cast<int32_t>("*+,-./"[keysym - 0xFFAA]);
  switch (keysym) {
    case 0xFF80:  // keypad space
      return ' ';
    case 0xFFBD:  // keypad equals
      return '=';
    case 0xFF89:  // keypad tab
    case 0xFF09:  // tab
      return '\t';
    case kXKKeypadEnter:
    case kXKReturn:
      return '\r';
    case 0xFF08:  // backspace
      return '\b';
    case kXKEscape:
      return 0x1B;
    case 0xFFFF:  // delete
      return 0x7F;
    default:
      return -1;
  }
}

}  // namespace melvox::platform

#include "platform/x11_connection.h"

#include <pthread.h>
#include <time.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/x11_message_box.h"

namespace melvox::platform {
namespace {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> Owned(Reply* reply) {
  return ReplyPtr<Reply>(reply, &std::free);
}

xcb_atom_t Intern(xcb_connection_t* connection, xcb_intern_atom_cookie_t cookie) {
  const auto reply = Owned(xcb_intern_atom_reply(connection, cookie, nullptr));
  return reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_intern_atom_cookie_t Ask(xcb_connection_t* connection, const char* name) {
  return xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
}

}  // namespace

xcb_connection_t* ConnectToDisplay(int* screen) {
  *screen = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, screen);
  if (xcb_connection_has_error(connection) != 0) {
    xcb_disconnect(connection);
    return nullptr;
  }
  return connection;
}

xcb_screen_t* ScreenOf(xcb_connection_t* connection, int screen) {
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; it.rem > 0; ++i, xcb_screen_next(&it)) {
    if (i == screen) return it.data;
  }
  return nullptr;
}

X11Atoms InternAtoms(xcb_connection_t* connection) {
  // All four requests go out before the first reply is awaited: one round trip.
  const auto protocols = Ask(connection, "WM_PROTOCOLS");
  const auto delete_window = Ask(connection, "WM_DELETE_WINDOW");
  const auto net_wm_name = Ask(connection, "_NET_WM_NAME");
  const auto utf8_string = Ask(connection, "UTF8_STRING");
  X11Atoms atoms;
  atoms.wm_protocols = Intern(connection, protocols);
  atoms.wm_delete_window = Intern(connection, delete_window);
  atoms.net_wm_name = Intern(connection, net_wm_name);
  atoms.utf8_string = Intern(connection, utf8_string);
  return atoms;
}

void SetWindowTitle(xcb_connection_t* connection, const X11Atoms& atoms, xcb_window_t window,
                    const std::string& title) {
  const std::string latin1 = Latin1OfUtf8(title);
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      static_cast<uint32_t>(latin1.size()), latin1.data());
  if (atoms.net_wm_name != XCB_ATOM_NONE && atoms.utf8_string != XCB_ATOM_NONE) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atoms.net_wm_name, atoms.utf8_string, 8,
                        static_cast<uint32_t>(title.size()), title.data());
  }
}

void TakeCloseRequests(xcb_connection_t* connection, const X11Atoms& atoms, xcb_window_t window) {
  if (atoms.wm_protocols == XCB_ATOM_NONE || atoms.wm_delete_window == XCB_ATOM_NONE) return;
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atoms.wm_protocols, XCB_ATOM_ATOM, 32, 1,
                      &atoms.wm_delete_window);
}

bool IsCloseRequest(const X11Atoms& atoms, const xcb_client_message_event_t& message) {
  return atoms.wm_protocols != XCB_ATOM_NONE && message.type == atoms.wm_protocols && message.format == 32 &&
         message.data.data32[0] == atoms.wm_delete_window;
}

bool PixelFormatOf(xcb_connection_t* connection, uint8_t depth, xcb_visualid_t visual, X11PixelFormat* format) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  X11PixelFormat found;
  found.depth = depth;
  found.msb_first = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  bool have_format = false;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth != depth) continue;
    found.bits_per_pixel = it.data->bits_per_pixel;
    found.scanline_pad = it.data->scanline_pad;
    have_format = true;
  }
  bool have_visual = false;
  for (auto screen = xcb_setup_roots_iterator(setup); screen.rem > 0 && !have_visual; xcb_screen_next(&screen)) {
    for (auto d = xcb_screen_allowed_depths_iterator(screen.data); d.rem > 0 && !have_visual; xcb_depth_next(&d)) {
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
        if (v.data->visual_id != visual) continue;
        const uint8_t kind = v.data->_class;
        have_visual = kind == XCB_VISUAL_CLASS_TRUE_COLOR || kind == XCB_VISUAL_CLASS_DIRECT_COLOR;
        found.red_mask = v.data->red_mask;
        found.green_mask = v.data->green_mask;
        found.blue_mask = v.data->blue_mask;
        break;
      }
    }
  }
  if (!have_format || !have_visual || !IsSupportedFormat(found)) return false;
  *format = found;
  return true;
}

X11Keymap LoadKeymap(xcb_connection_t* connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const uint8_t min_keycode = setup->min_keycode;
  const auto count = static_cast<uint8_t>(setup->max_keycode - min_keycode + 1);
  const auto keyboard_cookie = xcb_get_keyboard_mapping(connection, min_keycode, count);
  const auto modifier_cookie = xcb_get_modifier_mapping(connection);
  const auto keyboard = Owned(xcb_get_keyboard_mapping_reply(connection, keyboard_cookie, nullptr));
  const auto modifiers = Owned(xcb_get_modifier_mapping_reply(connection, modifier_cookie, nullptr));
  if (keyboard == nullptr) return X11Keymap();
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
  std::vector<uint32_t> table(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(keyboard.get()));
  const uint8_t per_keycode = keyboard->keysyms_per_keycode;
  uint16_t numlock_mask = 0;
  if (modifiers != nullptr && per_keycode > 0) {
    // Eight modifiers (Shift, Lock, Control, Mod1 .. Mod5), each with keycodes_per_modifier keycodes.
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const int per_modifier = modifiers->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
      for (int i = 0; i < per_modifier; ++i) {
        const xcb_keycode_t keycode = keycodes[modifier * per_modifier + i];
        if (keycode < min_keycode) continue;
        const size_t index = static_cast<size_t>(keycode - min_keycode) * per_keycode;
        for (size_t k = 0; k < per_keycode && index + k < table.size(); ++k) {
          if (table[index + k] == kXKNumLock) numlock_mask = static_cast<uint16_t>(1u << modifier);
        }
      }
    }
  }
  return X11Keymap(min_keycode, per_keycode, std::move(table), numlock_mask);
}

ScopedNoSigpipe::ScopedNoSigpipe() {
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &previous_);
  was_blocked_ = sigismember(&previous_, SIGPIPE) == 1;
}

ScopedNoSigpipe::~ScopedNoSigpipe() {
  if (!was_blocked_) {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    const timespec now{0, 0};
    while (sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace melvox::platform

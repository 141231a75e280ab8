// The UI thread's side of the X11 window backend: the X window of each library window, the host
// windows adopted as roots, and the translation of X events into window messages.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <xcb/xcb.h>

#include "platform/x11_connection.h"
#include "platform/x11_window_system.h"

namespace melvox::platform {

// Threading: built by the thread that connects (which also fetches the atoms, the keyboard mapping and
// the largest request), then used by the UI thread alone; nothing here is guarded.
class X11WindowSystem::Ui {
 public:
  Ui(X11WindowSystem& system, xcb_connection_t* connection, int screen);

  // Turns one X event into what it means for the windows (see x11_window_system.h).
  void Translate(const xcb_generic_event_t& event);
  bool Adopt(HWND xid);
  HWND CreateTopLevel(const std::string& title, int32_t width, int32_t height, Window* window);
  bool SetTitle(HWND window, const std::string& title);
  // Makes the X window of a library window follow its node: created as a child of its parent's X
  // window, moved, resized, mapped while visible and not empty, destroyed with the node.
  void Follow(HWND window);
  // Puts rect of the window's pixels on screen; false when the window has no X window here.
  bool Upload(HWND window, const RECT& rect);
  // The adopted host windows and the top-level windows.
  std::vector<HWND> Roots() const;

 private:
  struct XWindow {
    xcb_window_t id = XCB_WINDOW_NONE;
    X11PixelFormat format;
    RECT rect{0, 0, 0, 0};  // as last configured
    bool mapped = false;
    bool alive = true;  // false once the server destroyed it (with a host window)
    bool top_level = false;
  };

  HWND HandleOf(xcb_window_t id) const;
  XWindow* TopLevel(xcb_window_t id);
  void Pointer(xcb_window_t id, uint32_t message, WPARAM wparam, int16_t x, int16_t y);
  void Destroyed(xcb_window_t id);
  xcb_gcontext_t ContextFor(const XWindow& window);

  X11WindowSystem& system_;
  xcb_connection_t* const connection_;
  xcb_screen_t* const screen_;
  const X11Atoms atoms_;
  X11Keymap keymap_;
  X11PixelFormat screen_format_;
  bool screen_format_ok_ = false;
  size_t max_request_bytes_ = 0;
  std::map<HWND, XWindow> windows_;             // the library's child windows and top-level windows
  std::map<xcb_window_t, HWND> by_id_;          // their X ids
  std::map<HWND, X11PixelFormat> hosts_;        // adopted host windows (handle = X id)
  std::map<uint8_t, xcb_gcontext_t> contexts_;  // one graphics context per depth, for PutImage
  std::vector<uint8_t> image_;                  // the band being uploaded
};

}  // namespace melvox::platform

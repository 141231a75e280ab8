// Helpers over one XCB connection, shared by the X11 window backend and the message box: connecting,
// atoms, titles and the close protocol of top-level windows, the pixel format of a window's depth and
// visual, and the keyboard mapping. They keep no state; each is called by the thread that owns the
// connection (XCB itself is thread-safe).
#pragma once

#include <signal.h>

#include <cstdint>
#include <string>

#include <xcb/xcb.h>

#include "platform/x11_keys.h"
#include "platform/x11_pixels.h"

namespace melvox::platform {

// Connects to the display libxcb chooses (DISPLAY); null when none opens. *screen receives the
// default screen's number.
xcb_connection_t* ConnectToDisplay(int* screen);
// The screen of that number, or null.
xcb_screen_t* ScreenOf(xcb_connection_t* connection, int screen);

// The atoms a top-level window needs (XCB_ATOM_NONE for any the server did not give). A plain value,
// read by the thread that owns the connection.
struct X11Atoms {
  xcb_atom_t wm_protocols = XCB_ATOM_NONE;
  xcb_atom_t wm_delete_window = XCB_ATOM_NONE;
  xcb_atom_t net_wm_name = XCB_ATOM_NONE;
  xcb_atom_t utf8_string = XCB_ATOM_NONE;
};
X11Atoms InternAtoms(xcb_connection_t* connection);

// Sets WM_NAME (Latin-1: characters outside it become '?') and _NET_WM_NAME (UTF-8) to title, which is
// taken as UTF-8.
void SetWindowTitle(xcb_connection_t* connection, const X11Atoms& atoms, xcb_window_t window, const std::string& title);
// Asks the window manager to send WM_DELETE_WINDOW instead of killing the connection on close.
void TakeCloseRequests(xcb_connection_t* connection, const X11Atoms& atoms, xcb_window_t window);
// True for a ClientMessage that is the window manager's close request.
bool IsCloseRequest(const X11Atoms& atoms, const xcb_client_message_event_t& message);

// The ZPixmap format of a drawable of this depth and visual; false when the server has none we can
// write (no pixmap format for the depth, a visual that is not TrueColor or DirectColor).
bool PixelFormatOf(xcb_connection_t* connection, uint8_t depth, xcb_visualid_t visual, X11PixelFormat* format);

// The server's keyboard mapping with the modifier bit of NumLock; empty when the server does not answer.
X11Keymap LoadKeymap(xcb_connection_t* connection);

// Blocks SIGPIPE on the calling thread while it lives, so that writing to a server that went away
// fails with EPIPE instead of ending the process; a SIGPIPE raised meanwhile is taken back before the
// previous mask returns. Made and destroyed on the same thread; it touches that thread's mask only.
class ScopedNoSigpipe {
 public:
  ScopedNoSigpipe();
  ~ScopedNoSigpipe();
  ScopedNoSigpipe(const ScopedNoSigpipe&) = delete;
  ScopedNoSigpipe& operator=(const ScopedNoSigpipe&) = delete;

 private:
  sigset_t previous_;
  bool was_blocked_ = false;
};

}  // namespace melvox::platform
